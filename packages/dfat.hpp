// The DFAT firmware container, as far as the CUST extraction reads it: a chain of
// sections from byte 0, each starting with a 12-byte header of three little-endian
// 32-bit words (kind, length, sub_kind). `length` counts the whole section, header
// included, and is the distance to the next section. Kind 2 ends the chain; kind 12
// with sub_kind 0 is the CUST image section, whose image follows its 40-byte header and
// runs to the section's end; every other section is skipped.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

// The size of the CUST image section's own header, before the image bytes.
inline constexpr std::uint32_t cust_header_size = 40;

struct CustSection {
  std::uint32_t offset;  // where the section starts in the container
  std::uint32_t length;  // the section's `length` field: its header and the image
};

// Walks the section chain of `source` from byte 0, one 12-byte header read per section
// (a section up to 64 KiB ahead is reached by reading on through the stream's buffer, any
// other by a seek), and returns the CUST image section. Where the stream stands on entry does
// not matter; on return its position is unspecified.
// Raises a StreamFailure when the container ends inside or before a header the walk
// reaches, and a TextFailure when the chain ends (kind 2) before the image, when a
// skipped section has length 0, when a section would start at or beyond 2 GiB (the chain
// wraps or runs away), or when the image section is shorter than its 40-byte header.
CustSection find_cust_section(std::istream& source);

// Copies the image of `section` (its bytes from offset 40 to the section's end) of the
// container file at `source_path` to `target` with one write, straight from a read-only
// mapping of those bytes (platform/mapped_file.hpp): nothing is written before the whole
// image is known to be in the file. An image that runs past the end of the file raises a
// StreamFailure (fail and end-of-file states, as a short read does) before anything is
// mapped, a file that cannot be opened again a StreamFailure (fail state), an image the
// system cannot map std::bad_alloc, and a failed write a StreamFailure.
void copy_cust_image(const std::string& source_path, const CustSection& section,
                     std::ostream& target);
