// A BMP writer and reader of the tests' own, independent of the image library, for making
// pictures to feed the program and for checking the pictures it writes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

#include "tests/support/files.hpp"

namespace testing_support {

using Rgb = std::array<std::uint8_t, 3>;

struct BmpLayout {
  std::int32_t width = 240;
  std::int32_t height = 320;  // negative: rows stored from the top
  std::uint16_t bits = 24;    // 24 or 32
  std::uint32_t info_size = 40;
  std::uint32_t compression = 0;
};

// An uncompressed BMP of `layout` whose pixel (x, y), y from the top, is colour(x, y).
inline Bytes make_bmp(const BmpLayout& layout, const std::function<Rgb(int, int)>& colour) {
  const int rows = layout.height < 0 ? -layout.height : layout.height;
  const std::uint32_t pixel_size = layout.bits / 8;
  const std::uint32_t row_size = (layout.width * pixel_size + 3) / 4 * 4;
  const std::uint32_t offset = 14 + layout.info_size;
  Bytes bmp{'B', 'M'};
  put_le(bmp, offset + row_size * rows, 4);
  put_le(bmp, 0, 4);
  put_le(bmp, offset, 4);
  put_le(bmp, layout.info_size, 4);
  put_le(bmp, static_cast<std::uint32_t>(layout.width), 4);
  put_le(bmp, static_cast<std::uint32_t>(layout.height), 4);
  put_le(bmp, 1, 2);
  put_le(bmp, layout.bits, 2);
  put_le(bmp, layout.compression, 4);
  put_le(bmp, row_size * rows, 4);
  put_le(bmp, 2835, 4);
  put_le(bmp, 2835, 4);
  put_le(bmp, 0, 4);
  put_le(bmp, 0, 4);
  bmp.resize(offset, 0);
  for (int stored = 0; stored < rows; ++stored) {
    const int y = layout.height < 0 ? stored : rows - 1 - stored;
    for (int x = 0; x < layout.width; ++x) {
      const Rgb c = colour(x, y);
      bmp.insert(bmp.end(), {c[2], c[1], c[0]});
      if (pixel_size == 4) bmp.push_back(0);
    }
    bmp.resize(bmp.size() + row_size - layout.width * pixel_size, 0);
  }
  return bmp;
}

struct ParsedBmp {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t bits = 0;
  std::uint32_t file_size_field = 0;
  std::vector<Rgb> pixels;  // row-major from the top-left
  Rgb at(int x, int y) const { return pixels.at(static_cast<std::size_t>(y) * width + x); }
};

inline std::uint32_t le_at(const Bytes& bytes, std::size_t at, int width) {
  if (at + width > bytes.size()) throw std::runtime_error("BMP field past the end");
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[at + i];
  return value;
}

// Reads an uncompressed 24-bit BMP, bottom-up rows padded to 4 bytes.
inline ParsedBmp parse_bmp24(const Bytes& bytes) {
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') throw std::runtime_error("no BMP");
  ParsedBmp bmp;
  bmp.file_size_field = le_at(bytes, 2, 4);
  const std::uint32_t offset = le_at(bytes, 10, 4);
  bmp.width = static_cast<std::int32_t>(le_at(bytes, 18, 4));
  bmp.height = static_cast<std::int32_t>(le_at(bytes, 22, 4));
  bmp.bits = static_cast<std::uint16_t>(le_at(bytes, 28, 2));
  if (bmp.bits != 24 || le_at(bytes, 30, 4) != 0 || bmp.width <= 0 || bmp.height <= 0) {
    throw std::runtime_error("not an uncompressed bottom-up 24-bit BMP");
  }
  const std::size_t row_size = (static_cast<std::size_t>(bmp.width) * 3 + 3) / 4 * 4;
  if (offset + row_size * bmp.height > bytes.size()) throw std::runtime_error("BMP cut short");
  bmp.pixels.resize(static_cast<std::size_t>(bmp.width) * bmp.height);
  for (int y = 0; y < bmp.height; ++y) {
    const std::size_t row = offset + row_size * (bmp.height - 1 - y);
    for (int x = 0; x < bmp.width; ++x) {
      const std::size_t p = row + 3 * static_cast<std::size_t>(x);
      bmp.pixels[static_cast<std::size_t>(y) * bmp.width + x] = {bytes[p + 2], bytes[p + 1],
                                                                 bytes[p]};
    }
  }
  return bmp;
}

// The colour a 16-bit RGB565 pixel stands for, low bits zero.
inline Rgb rgb565_colour(std::uint16_t value) {
  return {static_cast<std::uint8_t>((value >> 11) << 3),
          static_cast<std::uint8_t>(((value >> 5) & 0x3F) << 2),
          static_cast<std::uint8_t>((value & 0x1F) << 3)};
}

// Pixel k of frame `frame` in an animation file's bytes.
inline std::uint16_t frame_pixel(const Bytes& animation, std::size_t frame, std::size_t k) {
  return static_cast<std::uint16_t>(le_at(animation, frame * 153'600 + 2 * k, 2));
}

}  // namespace testing_support
