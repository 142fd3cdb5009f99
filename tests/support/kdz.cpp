#include "tests/support/kdz.hpp"

#include <algorithm>

namespace testing_support {

const std::vector<KdzLayout> kdz_layouts = {{"32-bit records", 1304, 0x50447932, 4},
                                            {"64-bit records", 1320, 0x80253134, 8}};

Bytes kdz_file(const KdzLayout& layout, const std::vector<PackedFile>& files) {
  Bytes kdz;
  put_le(kdz, layout.header_size, 4);
  put_le(kdz, layout.magic, 4);
  std::uint64_t offset = layout.header_size;
  for (const PackedFile& file : files) {
    Bytes name(256, 0);
    std::copy(file.name.begin(), file.name.end(), name.begin());
    kdz.insert(kdz.end(), name.begin(), name.end());
    put_le(kdz, file.contents.size(), layout.width);
    put_le(kdz, offset, layout.width);
    offset += file.contents.size();
  }
  kdz.resize(layout.header_size, 0);
  for (const PackedFile& file : files) {
    kdz.insert(kdz.end(), file.contents.begin(), file.contents.end());
  }
  return kdz;
}

Bytes pattern(std::size_t size, std::uint8_t seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

}  // namespace testing_support
