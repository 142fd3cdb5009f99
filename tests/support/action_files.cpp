#include "tests/support/action_files.hpp"

#include "tests/support/bmp.hpp"
#include "tests/support/dfat_container.hpp"

namespace testing_support {

std::vector<std::string> write_action_files(const std::filesystem::path& folder) {
  // A skipped section, then the CUST image section with 64 image bytes.
  Bytes container;
  add_section(container, 1, 20, 0, 0x11);
  add_image_section(container, image_bytes(64));
  // A picture of the animation tools' size.
  const Bytes picture = make_bmp({}, [](int x, int y) {
    return Rgb{static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 7),
               static_cast<std::uint8_t>((x + y) * 7)};
  });

  write_bytes(folder / "secpack.fls", Bytes(4096, 0x5a));
  write_bytes(folder / "data.bin", Bytes(2048 * 4, 0xa5));
  write_bytes(folder / "exec.bin", Bytes(512, 0x11));
  write_bytes(folder / "cust.dfat", container);
  write_bytes(folder / "animation.bin", Bytes(153600, 0x42));
  write_bytes(folder / "picture.bmp", picture);
  return {"secpack.fls", "data.bin", "exec.bin", "cust.dfat", "animation.bin", "picture.bmp"};
}

}  // namespace testing_support
