// KDZ firmware packages built by the tests, in the phone maker's public layouts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/files.hpp"

namespace testing_support {

struct KdzLayout {
  const char* name;
  std::uint32_t header_size;
  std::uint32_t magic;
  int width;  // bytes of each record's size and offset
};

// 1304-byte header with 32-bit records, and 1320-byte header with 64-bit records.
extern const std::vector<KdzLayout> kdz_layouts;

struct PackedFile {
  std::string name;
  Bytes contents;
};

// The whole KDZ file: header with one record per file, then the contents in order.
Bytes kdz_file(const KdzLayout& layout, const std::vector<PackedFile>& files);

// `size` bytes of a pattern that differs with `seed`.
Bytes pattern(std::size_t size, std::uint8_t seed);

}  // namespace testing_support
