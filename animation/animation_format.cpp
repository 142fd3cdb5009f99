#include "animation/animation_format.hpp"

#include <bit>
#include <cstring>
#include <limits>

namespace {

inline std::uint16_t swap_bytes(std::uint16_t value) {
  return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}

// Pixels are little-endian in the file whatever the host's byte order; on a little-endian
// host the 16-bit copy is the value itself and the loops vectorise.
inline std::uint16_t load_pixel(const std::uint8_t* bytes) {
  std::uint16_t value;
  std::memcpy(&value, bytes, sizeof value);
  if constexpr (std::endian::native == std::endian::big) value = swap_bytes(value);
  return value;
}

inline void store_pixel(std::uint8_t* bytes, std::uint16_t value) {
  if constexpr (std::endian::native == std::endian::big) value = swap_bytes(value);
  std::memcpy(bytes, &value, sizeof value);
}

}  // namespace

std::optional<std::int32_t> animation_frame_count(std::uint64_t file_size) {
  if (file_size % frame_bytes != 0) return std::nullopt;
  const std::uint64_t count = file_size / frame_bytes;
  if (count > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(count);
}

void encode_frame(ConstPictureSamples picture, FrameBytes frame) {
  const std::uint8_t* __restrict red = picture.data();
  const std::uint8_t* __restrict green = red + frame_pixels;
  const std::uint8_t* __restrict blue = green + frame_pixels;
  std::uint8_t* __restrict out = frame.data();
  for (std::size_t k = 0; k < frame_pixels; ++k) {
    const auto value = static_cast<std::uint16_t>(((red[k] & 0xF8u) << 8) |
                                                  ((green[k] & 0xFCu) << 3) | (blue[k] >> 3));
    store_pixel(out + 2 * k, value);
  }
}

void decode_frame(ConstFrameBytes frame, PictureSamples picture) {
  const std::uint8_t* __restrict in = frame.data();
  std::uint8_t* __restrict red = picture.data();
  std::uint8_t* __restrict green = red + frame_pixels;
  std::uint8_t* __restrict blue = green + frame_pixels;
  for (std::size_t k = 0; k < frame_pixels; ++k) {
    const std::uint16_t value = load_pixel(in + 2 * k);
    red[k] = static_cast<std::uint8_t>((value >> 8) & 0xF8u);
    green[k] = static_cast<std::uint8_t>((value >> 3) & 0xFCu);
    blue[k] = static_cast<std::uint8_t>((value & 0x1Fu) << 3);
  }
}
