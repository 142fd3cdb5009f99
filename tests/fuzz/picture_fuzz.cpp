// Fuzz harness of the picture loading path of animation creation (the header check, then
// the image library's BMP reader or our own decoders of 16-bit, bit-field, short-palette
// and run-length encoded pixels) and of the animation file checks: any bytes as a BMP
// file and as an animation file. A refused picture is a proper answer; a picture that
// loads has a frame's shape and passed the header check; a frame turned into a picture and
// back is the same frame.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <variant>
#include <vector>

#include "animation/animation_format.hpp"
#include "animation/bmp_header.hpp"
#include "animation/picture_io.hpp"
#include "tests/fuzz/fuzz_files.hpp"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void check_as_picture(const std::uint8_t* data, std::size_t size) {
  const auto path = fuzz_files::empty_folder() / "picture.bmp";
  fuzz_files::write_file(path, data, size);
  const bool header_passes = std::holds_alternative<BmpLayout>(
      check_bmp(std::span(data, std::min(size, bmp_prefix_bytes)), size, path.string()));
  PictureHandle picture = make_empty_picture();
  try {
    load_picture(*picture, path.string());
  } catch (const PictureFailure&) {
    return;
  }
  require(header_passes);
  frame_samples(*picture);  // raises for any other shape than a frame's
}

void check_as_animation(const std::uint8_t* data, std::size_t size) {
  const auto count = animation_frame_count(size);
  require(!count || static_cast<std::uint64_t>(*count) * frame_bytes == size);
  if (size < frame_bytes) return;
  std::vector<std::uint8_t> picture(picture_samples);
  std::vector<std::uint8_t> frame(frame_bytes);
  decode_frame(ConstFrameBytes(data, frame_bytes), PictureSamples(picture.data(), picture_samples));
  encode_frame(ConstPictureSamples(picture.data(), picture_samples),
               FrameBytes(frame.data(), frame_bytes));
  require(std::equal(frame.begin(), frame.end(), data));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  check_as_picture(data, size);
  check_as_animation(data, size);
  return 0;
}
