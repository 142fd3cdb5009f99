#include "packages/dfat.hpp"

#include <array>
#include <new>

#include "platform/mapped_file.hpp"
#include "shell/failure.hpp"
#include "shell/files.hpp"

namespace {

constexpr std::uint32_t end_of_chain = 2;
constexpr std::uint32_t partition_image = 12;
constexpr std::uint32_t cust_image = 0;

// A stream offset is a signed 32-bit number in the container's own tools, so no section
// may start at or beyond 2 GiB.
constexpr std::uint64_t position_limit = std::uint64_t{1} << 31;

// A seek drops the stream's buffer, so a seek per section costs a system call and a
// refill of the buffer for every one of them (100,000 small sections: about 0.3 s). A
// next section at most this far ahead is reached by reading on through the buffer.
constexpr std::uint32_t read_through_limit = 64 * 1024;

struct SectionHeader {
  std::uint32_t kind;
  std::uint32_t length;
  std::uint32_t sub_kind;
};

std::uint32_t le32(const std::array<unsigned char, 12>& bytes, std::size_t at) {
  return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
         std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

constexpr std::uint32_t header_size = 12;

// Moves from the end of the header just read (at `position`) to `next`. A source that
// ends on the way is reported by the read of the next header, with the same state as a
// seek past the end followed by that read.
void move_to_next_section(std::istream& source, std::uint32_t position, std::uint32_t next) {
  const std::uint64_t header_end = std::uint64_t{position} + header_size;
  if (next >= header_end && next - header_end <= read_through_limit) {
    source.ignore(static_cast<std::streamsize>(next - header_end));
  } else {
    seek_to(source, next);
  }
}

// Read straight from the stream's buffer: a header costs a copy of 12 bytes, not the
// stream's checks around it (a third of the walk). The failures are those a read through
// the stream reports: a header cut short ends the file early, a failed read is bad.
SectionHeader read_section_header(std::istream& source) {
  std::array<unsigned char, header_size> bytes{};
  std::streamsize got = 0;
  try {
    got = source.rdbuf()->sgetn(reinterpret_cast<char*>(bytes.data()), header_size);
  } catch (const std::ios_base::failure&) {
    throw StreamFailure(std::ios_base::badbit);
  }
  if (got != header_size) throw StreamFailure(std::ios_base::failbit | std::ios_base::eofbit);
  return {le32(bytes, 0), le32(bytes, 4), le32(bytes, 8)};
}

}  // namespace

CustSection find_cust_section(std::istream& source) {
  std::uint32_t position = 0;
  seek_to(source, position);
  for (;;) {
    const SectionHeader header = read_section_header(source);
    if (header.kind == end_of_chain) fail("Section not found: error in the format");
    if (header.kind == partition_image && header.sub_kind == cust_image) {
      if (header.length < cust_header_size) fail("Image section too short: error in the format");
      return {position, header.length};
    }
    if (header.length == 0) fail("Error in the format");
    // Summed in 64 bits, a length that would wrap the 32-bit position back to an earlier
    // section shows up as a position past the limit, so the walk always moves forward.
    const std::uint64_t next = std::uint64_t{position} + header.length;
    if (next >= position_limit) fail("Section chain out of range: error in the format");
    move_to_next_section(source, position, static_cast<std::uint32_t>(next));
    position = static_cast<std::uint32_t>(next);
  }
}

void copy_cust_image(const std::string& source_path, const CustSection& section,
                     std::ostream& target) {
  // The length comes from the file: the mapping checks it against the file's real size
  // before it asks the system for the address space.
  const std::size_t image_size = section.length - cust_header_size;
  const platform::MappedFile image(source_path, std::uint64_t{section.offset} + cust_header_size,
                                   image_size);
  switch (image.state()) {
    case platform::MappedFile::State::mapped:
      break;
    case platform::MappedFile::State::too_short:
      throw StreamFailure(std::ios_base::failbit | std::ios_base::eofbit);
    case platform::MappedFile::State::cannot_open:
      throw StreamFailure(std::ios_base::failbit);
    case platform::MappedFile::State::cannot_map:
      throw std::bad_alloc();
  }
  write_all(target, image.data(), image_size);
}
