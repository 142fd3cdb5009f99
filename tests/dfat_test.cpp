#include "packages/dfat.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <streambuf>
#include <utility>
#include <vector>

#include "shell/failure.hpp"
#include "tests/support/dfat_container.hpp"

using namespace testing_support;

namespace {

// A container of any size held as a few pieces of bytes at chosen offsets (zeros in
// between), that records every read asked of it, so that a test can see where the walk
// and the copy read and how much.
class SparseSource : public std::streambuf {
 public:
  explicit SparseSource(std::uint64_t size) : size_(size) {}
  void put(std::uint64_t at, Bytes bytes) { pieces_[at] = std::move(bytes); }

  struct Read {
    std::uint64_t at;
    std::streamsize size;
    bool operator==(const Read&) const = default;
  };
  std::vector<Read> reads;

 protected:
  pos_type seekoff(off_type offset, std::ios_base::seekdir from, std::ios_base::openmode) override {
    const off_type base = from == std::ios_base::beg   ? 0
                          : from == std::ios_base::cur ? static_cast<off_type>(position_)
                                                       : static_cast<off_type>(size_);
    if (base + offset < 0) return pos_type(off_type(-1));
    position_ = static_cast<std::uint64_t>(base + offset);
    return pos_type(static_cast<off_type>(position_));
  }
  pos_type seekpos(pos_type position, std::ios_base::openmode mode) override {
    return seekoff(off_type(position), std::ios_base::beg, mode);
  }
  std::streamsize xsgetn(char* data, std::streamsize size) override {
    reads.push_back({position_, size});
    std::streamsize done = 0;
    for (; done < size && position_ < size_; ++done) data[done] = byte_at(position_++);
    return done;
  }
  int_type underflow() override {
    return position_ < size_ ? traits_type::to_int_type(byte_at(position_)) : traits_type::eof();
  }
  int_type uflow() override {
    const int_type next = underflow();
    if (next != traits_type::eof()) ++position_;
    return next;
  }

 private:
  char byte_at(std::uint64_t at) const {
    auto piece = pieces_.upper_bound(at);
    if (piece == pieces_.begin()) return 0;
    --piece;
    const std::uint64_t inside = at - piece->first;
    return inside < piece->second.size() ? static_cast<char>(piece->second[inside]) : 0;
  }
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  std::map<std::uint64_t, Bytes> pieces_;
};

// Keeps what is written and the size of every write asked of it.
class RecordingTarget : public std::streambuf {
 public:
  std::string bytes;
  std::vector<std::streamsize> writes;

 protected:
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    writes.push_back(size);
    bytes.append(data, static_cast<std::size_t>(size));
    return size;
  }
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) xsputn(reinterpret_cast<const char*>(&c), 1);
    return traits_type::not_eof(c);
  }
};

SparseSource source_of(const Bytes& container) {
  SparseSource source(container.size());
  source.put(0, container);
  return source;
}

std::string text_of(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(FindCustSection, ReadsOnlyOneHeaderPerSectionUpToTheImage) {
  struct Skipped {
    std::uint32_t kind;
    std::uint32_t length;
    std::uint32_t sub_kind;
  };
  struct Case {
    const char* name;
    std::vector<Skipped> before;
    std::size_t image_size;
  };
  const Case cases[] = {
      {"image first", {}, 300},
      {"image of its header only", {}, 0},
      {"skipped kinds of every size",
       {{0, 12, 0}, {1, 5000, 0}, {3, 13, 7}, {0xFFFFFFFF, 12, 0}, {13, 64, 0}},
       25},
      {"kind 12 with sub_kind 1 and beyond", {{12, 200, 1}, {12, 41, 0xFFFFFFFF}}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes container;
    std::vector<SparseSource::Read> expected_reads;
    for (const Skipped& section : c.before) {
      expected_reads.push_back({container.size(), 12});
      add_section(container, section.kind, section.length, section.sub_kind);
    }
    const std::uint32_t image_offset = static_cast<std::uint32_t>(container.size());
    expected_reads.push_back({image_offset, 12});
    add_image_section(container, image_bytes(c.image_size));
    add_section(container, 2, 12);

    SparseSource source = source_of(container);
    std::istream stream(&source);
    stream.seekg(7);  // the walk starts at byte 0 wherever the stream stands

    const CustSection found = find_cust_section(stream);

    EXPECT_EQ(found.offset, image_offset);
    EXPECT_EQ(found.length, 40 + c.image_size);
    EXPECT_EQ(source.reads, expected_reads);
  }
}

// A header read that fails in the file's buffer (an I/O error) is the stream's bad state,
// as a read through the stream would report it.
TEST(FindCustSection, AFailedReadIsTheBadState) {
  struct FailingSource : std::streambuf {
    pos_type seekoff(off_type, std::ios_base::seekdir, std::ios_base::openmode) override {
      return pos_type(0);
    }
    std::streamsize xsgetn(char*, std::streamsize) override {
      throw std::ios_base::failure("error reading the file");
    }
  } source;
  std::istream stream(&source);
  try {
    find_cust_section(stream);
    ADD_FAILURE() << "the walk went on";
  } catch (const StreamFailure& failure) {
    EXPECT_EQ(failure.state(), std::ios_base::badbit);
  }
}

TEST(FindCustSection, SectionsMayStartAnywhereBelowTwoGibibytes) {
  const std::uint64_t limit = std::uint64_t{1} << 31;
  struct Case {
    const char* name;
    std::uint32_t first_length;  // the skipped section at 0, leading to the second one
    std::uint32_t kind;          // of the second section
    std::uint32_t length;        // of the second section
    const char* failure;         // null: the second section is the image
  };
  const Case cases[] = {
      {"image starting just below the limit", 0x7FFFFFF4, 12, 40, nullptr},
      {"skipped section ending exactly at the limit", 0x7FFFFFF4, 1, 12,
       "Section chain out of range: error in the format"},
      {"length wrapping the position past 4 GiB", 0x10, 1, 0xFFFFFFF0,
       "Section chain out of range: error in the format"},
      {"length wrapping the position to itself", 0x10, 1, 0xFFFFFFFF,
       "Section chain out of range: error in the format"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SparseSource source(limit);
    Bytes first;
    add_header(first, 1, c.first_length, 0);
    Bytes second;
    add_header(second, c.kind, c.length, 0);
    source.put(0, first);
    source.put(c.first_length, second);
    std::istream stream(&source);

    if (c.failure) {
      try {
        find_cust_section(stream);
        ADD_FAILURE() << "the walk went on";
      } catch (const TextFailure& failure) {
        EXPECT_STREQ(failure.what(), c.failure);
      }
    } else {
      const CustSection found = find_cust_section(stream);
      EXPECT_EQ(found.offset, c.first_length);
      EXPECT_EQ(found.length, c.length);
    }
  }
}

TEST(CopyCustImage, MovesTheImageInOneWrite) {
  Bytes container;
  add_section(container, 1, 100);
  const Bytes image = image_bytes(70000);
  add_image_section(container, image);
  add_section(container, 7, 30, 0, 0x5A);  // what follows the image is not copied
  const ScratchFolder folder;
  write_bytes(folder / "container.dfat", container);
  RecordingTarget target;
  std::ostream out(&target);

  copy_cust_image((folder / "container.dfat").string(), {100, 40 + 70000}, out);

  EXPECT_EQ(target.bytes, text_of(image));
  EXPECT_EQ(target.writes, std::vector<std::streamsize>{70000});
}

TEST(CopyCustImage, AnImagePastTheEndIsRefusedBeforeItIsMapped) {
  struct Case {
    const char* name;
    std::uint32_t offset;
    std::uint32_t length;
    std::ios_base::iostate state;
  };
  // The container holds a 40-byte header and 100 image bytes at offset 20.
  const Case cases[] = {
      {"one byte too many", 20, 40 + 101, std::ios_base::failbit | std::ios_base::eofbit},
      {"a crafted 4 GiB length", 20, 0xFFFFFFFF, std::ios_base::failbit | std::ios_base::eofbit},
      {"a section that starts past the end", 0x7FFFFFF0, 40 + 1,
       std::ios_base::failbit | std::ios_base::eofbit},
      {"no file to map any more", 20, 40 + 100, std::ios_base::failbit},
  };
  const ScratchFolder folder;
  write_bytes(folder / "container.dfat", Bytes(20 + 40 + 100, 0x33));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool missing = c.state == std::ios_base::failbit;
    RecordingTarget target;
    std::ostream out(&target);
    try {
      copy_cust_image((folder / (missing ? "gone.dfat" : "container.dfat")).string(),
                      {c.offset, c.length}, out);
      ADD_FAILURE() << "no failure";
    } catch (const StreamFailure& failure) {
      EXPECT_EQ(failure.state(), c.state);
    }
    EXPECT_TRUE(target.writes.empty());
  }
}

TEST(DfatRegressions, CraftedContainersEndWithTheirFailure) {
  struct Case {
    const char* file;
    const char* report;  // what the failure says
  };
  const Case cases[] = {
      {"dfat-loop-back.bin", "Section chain out of range: error in the format"},
      {"dfat-image-shorter-than-header.bin", "Image section too short: error in the format"},
      {"dfat-image-claims-4gib.bin", "ios_base::failbit set"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const auto path = std::filesystem::path(KORVANTA_REGRESSIONS_DIR) / c.file;
    const Bytes container = read_bytes(path);
    std::istringstream stream(text_of(container));
    std::ostringstream out;
    try {
      copy_cust_image(path.string(), find_cust_section(stream), out);
      ADD_FAILURE() << "no failure";
    } catch (const std::exception& failure) {
      EXPECT_STREQ(failure.what(), c.report);
    }
    EXPECT_TRUE(out.str().empty());
  }
}

// The walk over a real file, through the file stream's own buffer: near sections are read
// through, far ones and those that start inside the header just read are sought, and a
// container that ends on the way reports the same state either way.
TEST(FindCustSection, WalksAFileNearAndFarAlike) {
  constexpr std::uint32_t near_limit = 64 * 1024;  // the farthest a section is read through
  struct Case {
    const char* name;
    std::function<void(Bytes&)> before;  // the sections before the image
    bool truncated;                      // the container ends inside the last one of them
  };
  const auto small_sections = [](Bytes& container) {
    // Far more than one buffer of the stream: the walk crosses many refills.
    for (int section = 0; section < 3000; ++section)
      add_section(container, section % 2 == 0 ? 1 : 13, 12 + section % 41);
  };
  const auto around_the_limit = [&](Bytes& container) {
    add_section(container, 1, 12 + near_limit);
    add_section(container, 1, 12 + near_limit + 1);
    add_section(container, 12, 12 + 3 * near_limit, 1);
  };
  const Case cases[] = {
      {"3,000 small sections", small_sections, false},
      {"sections just within, just beyond and far beyond the read-through distance",
       around_the_limit, false},
      {"a near section past the end", [](Bytes& c) { add_section(c, 1, 100); }, true},
      {"a far section past the end", [&](Bytes& c) { add_section(c, 1, 2 * near_limit); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes container;
    c.before(container);
    const std::size_t image_offset = container.size();
    if (c.truncated) {
      container.resize(container.size() - 10);
    } else {
      add_image_section(container, image_bytes(500));
      add_section(container, 2, 12);
    }
    const ScratchFolder folder;
    write_bytes(folder / "container.dfat", container);
    std::ifstream stream(folder / "container.dfat", std::ios::binary);

    if (c.truncated) {
      try {
        find_cust_section(stream);
        ADD_FAILURE() << "no failure";
      } catch (const StreamFailure& failure) {
        EXPECT_EQ(failure.state(), std::ios_base::failbit | std::ios_base::eofbit);
      }
    } else {
      const CustSection found = find_cust_section(stream);
      EXPECT_EQ(found.offset, image_offset);
      EXPECT_EQ(found.length, 40u + 500u);
    }
  }
}

TEST(FindCustSection, ASectionShorterThanItsHeaderLeadsBackIntoIt) {
  // The skipped section at 0 is 8 bytes long, so the next header starts at 8, on the
  // first header's sub_kind (12), and goes on in the bytes after it.
  Bytes container;
  add_header(container, 1, 8, 12);
  const Bytes image = image_bytes(64);
  put_le(container, 40 + image.size(), 4);
  put_le(container, 0, 4);
  container.resize(8 + 40, 0xEE);
  container.insert(container.end(), image.begin(), image.end());
  const ScratchFolder folder;
  write_bytes(folder / "container.dfat", container);
  std::ifstream stream(folder / "container.dfat", std::ios::binary);
  std::ostringstream out;

  const CustSection found = find_cust_section(stream);
  copy_cust_image((folder / "container.dfat").string(), found, out);

  EXPECT_EQ(found.offset, 8u);
  EXPECT_EQ(out.str(), text_of(image));
}
