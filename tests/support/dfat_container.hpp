// Builds DFAT containers for the tests, section by section: a 12-byte header of three
// little-endian words (kind, length, sub_kind) and the section's body.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tests/support/files.hpp"

namespace testing_support {

// Bytes that differ from their neighbours and from every fill byte below, so that an
// image copied from the wrong offset or of the wrong length does not compare equal.
inline Bytes image_bytes(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + 3) % 251);
  return bytes;
}

inline void add_header(Bytes& container, std::uint32_t kind, std::uint32_t length,
                       std::uint32_t sub_kind) {
  put_le(container, kind, 4);
  put_le(container, length, 4);
  put_le(container, sub_kind, 4);
}

// A whole section: its header, then `length` - 12 bytes of `fill` (none when `length`
// is below 12).
inline void add_section(Bytes& container, std::uint32_t kind, std::uint32_t length,
                        std::uint32_t sub_kind = 0, std::uint8_t fill = 0xA5) {
  add_header(container, kind, length, sub_kind);
  if (length > 12) container.insert(container.end(), length - 12, fill);
}

// A CUST image section (kind 12, sub_kind 0) holding `image` after its 40-byte header.
inline void add_image_section(Bytes& container, const Bytes& image) {
  add_header(container, 12, static_cast<std::uint32_t>(40 + image.size()), 0);
  container.insert(container.end(), 28, 0xEE);
  container.insert(container.end(), image.begin(), image.end());
}

}  // namespace testing_support
