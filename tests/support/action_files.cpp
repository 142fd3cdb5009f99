#include "tests/support/action_files.hpp"

namespace testing_support {

Bytes animation_picture() {
  constexpr int width = 240, height = 320, row = width * 3;
  Bytes bmp{'B', 'M'};
  put_le(bmp, 54 + row * height, 4);
  put_le(bmp, 0, 4);
  put_le(bmp, 54, 4);
  put_le(bmp, 40, 4);
  put_le(bmp, width, 4);
  put_le(bmp, height, 4);
  put_le(bmp, 1, 2);
  put_le(bmp, 24, 2);
  for (int field = 0; field < 6; ++field) put_le(bmp, 0, 4);
  for (int i = 0; i < row * height; ++i) bmp.push_back(static_cast<std::uint8_t>(i * 7));
  return bmp;
}

std::vector<std::string> write_action_files(const std::filesystem::path& folder) {
  Bytes container;
  // A skipped section, then the CUST image section (kind 12, sub_kind 0) with its 40-byte
  // header and 64 image bytes.
  for (const std::uint32_t word : {1u, 20u, 0u}) put_le(container, word, 4);
  container.insert(container.end(), 8, 0x11);
  for (const std::uint32_t word : {12u, 104u, 0u}) put_le(container, word, 4);
  container.insert(container.end(), 28 + 64, 0x22);

  write_bytes(folder / "secpack.fls", Bytes(4096, 0x5a));
  write_bytes(folder / "data.bin", Bytes(2048 * 4, 0xa5));
  write_bytes(folder / "exec.bin", Bytes(512, 0x11));
  write_bytes(folder / "cust.dfat", container);
  write_bytes(folder / "animation.bin", Bytes(153600, 0x42));
  write_bytes(folder / "picture.bmp", animation_picture());
  return {"secpack.fls", "data.bin", "exec.bin", "cust.dfat", "animation.bin", "picture.bmp"};
}

}  // namespace testing_support
