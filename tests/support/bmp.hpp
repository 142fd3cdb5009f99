// A BMP writer and reader of the tests' own, independent of the image library, for making
// pictures to feed the program and for checking the pictures it writes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

#include "tests/support/files.hpp"

namespace testing_support {

using Rgb = std::array<std::uint8_t, 3>;

// What the tests' writer puts in a BMP file's headers.
struct BmpFormat {
  std::int32_t width = 240;
  std::int32_t height = 320;  // negative: rows stored from the top
  std::uint16_t bits = 24;
  std::uint32_t info_size = 40;  // 40, a longer header (52 to 124) holding the bit fields, or
                                 // 12 (OS/2 1.x: 16-bit fields, 3-byte palette entries)
  std::uint32_t compression = 0;
  std::vector<Rgb> palette = {};            // as many colours as the file says it holds
  std::array<std::uint32_t, 3> masks = {};  // red, green, blue, for compression 3
};

// A BMP file of `format` whose pixel data (uncompressed rows or encoded pixels) is `pixels`.
inline Bytes bmp_file(const BmpFormat& format, const Bytes& pixels) {
  const bool masks_after_header = format.compression == 3 && format.info_size == 40;
  const bool core = format.info_size == 12;
  const std::uint32_t entry = core ? 3 : 4;
  const std::uint32_t offset = 14 + format.info_size + (masks_after_header ? 12 : 0) +
                               entry * static_cast<std::uint32_t>(format.palette.size());
  Bytes bmp{'B', 'M'};
  for (const std::uint32_t field :
       {offset + static_cast<std::uint32_t>(pixels.size()), 0u, offset, format.info_size}) {
    put_le(bmp, field, 4);
  }
  put_le(bmp, static_cast<std::uint32_t>(format.width), core ? 2 : 4);
  put_le(bmp, static_cast<std::uint32_t>(format.height), core ? 2 : 4);
  put_le(bmp, 1, 2);
  put_le(bmp, format.bits, 2);
  for (const std::uint32_t field :
       {format.compression, static_cast<std::uint32_t>(pixels.size()), 2835u, 2835u,
        static_cast<std::uint32_t>(format.palette.size()), 0u}) {
    if (!core) put_le(bmp, field, 4);
  }
  if (format.compression == 3) {
    for (const std::uint32_t mask : format.masks) put_le(bmp, mask, 4);
  }
  bmp.resize(offset - entry * format.palette.size(), 0);
  for (const Rgb& c : format.palette) {
    bmp.insert(bmp.end(), {c[2], c[1], c[0], 0});
    if (core) bmp.pop_back();
  }
  bmp.insert(bmp.end(), pixels.begin(), pixels.end());
  return bmp;
}

// Uncompressed rows of format.bits-bit values value(x, y), y from the top: the first pixel
// of a byte in its top bits below 8 bits, little-endian values from 8 bits up, each row
// padded to 4 bytes, in the format's row order.
inline Bytes pixel_rows(const BmpFormat& format,
                        const std::function<std::uint32_t(int, int)>& value) {
  const int rows = format.height < 0 ? -format.height : format.height;
  const std::size_t row_size = (static_cast<std::size_t>(format.width) * format.bits + 31) / 32 * 4;
  Bytes pixels(row_size * rows, 0);
  for (int stored = 0; stored < rows; ++stored) {
    const int y = format.height < 0 ? stored : rows - 1 - stored;
    std::uint8_t* row = &pixels[row_size * stored];
    for (int x = 0; x < format.width; ++x) {
      const std::uint32_t v = value(x, y);
      if (format.bits < 8) {
        const int per_byte = 8 / format.bits;
        row[x / per_byte] |=
            static_cast<std::uint8_t>(v << (format.bits * (per_byte - 1 - x % per_byte)));
      } else {
        for (int i = 0; i < format.bits / 8; ++i)
          row[x * (format.bits / 8) + i] = static_cast<std::uint8_t>(v >> (8 * i));
      }
    }
  }
  return pixels;
}

// An uncompressed 24-bit or 32-bit BMP of `format` whose pixel (x, y), y from the top, is
// colour(x, y).
inline Bytes make_bmp(const BmpFormat& format, const std::function<Rgb(int, int)>& colour) {
  return bmp_file(format, pixel_rows(format, [&](int x, int y) {
                    const Rgb c = colour(x, y);
                    return std::uint32_t{c[2]} | std::uint32_t{c[1]} << 8 |
                           std::uint32_t{c[0]} << 16;
                  }));
}

// Run-length encoded pixels (RLE8, or RLE4 for 4 bits) of a 240 × 320 picture, written
// code by code, with the palette index each pixel it paints takes; a pixel never painted
// keeps index 0.
class RunLengthWriter {
 public:
  explicit RunLengthWriter(int bits) : bits_(bits) {}
  const Bytes& data() const { return data_; }
  int index_at(int x, int y) const { return painted_.at(static_cast<std::size_t>(y) * 240 + x); }

  // `count` pixels alternating indices a and b (always a for RLE8).
  void run(int count, int a, int b = -1) {
    data_.insert(data_.end(), {static_cast<std::uint8_t>(count), packed(a, b < 0 ? a : b)});
    for (int i = 0; i < count; ++i) paint(i % 2 == 0 || bits_ == 8 ? a : b);
  }
  // Indices as they stand, padded to a whole number of 16-bit words.
  void literal(const std::vector<int>& indices) {
    data_.insert(data_.end(), {0, static_cast<std::uint8_t>(indices.size())});
    const std::size_t start = data_.size();
    for (std::size_t i = 0; i < indices.size(); ++i) {
      if (bits_ == 8) data_.push_back(static_cast<std::uint8_t>(indices[i]));
      if (bits_ == 4 && i % 2 == 0) data_.push_back(static_cast<std::uint8_t>(indices[i] << 4));
      if (bits_ == 4 && i % 2 == 1) data_.back() |= static_cast<std::uint8_t>(indices[i]);
      paint(indices[i]);
    }
    if ((data_.size() - start) % 2 != 0) data_.push_back(0);
  }
  void move(int right, int up) {
    data_.insert(data_.end(),
                 {0, 2, static_cast<std::uint8_t>(right), static_cast<std::uint8_t>(up)});
    x_ += right;
    row_ += up;
  }
  void end_row() {
    data_.insert(data_.end(), {0, 0});
    x_ = 0;
    ++row_;
  }
  void end_picture() { data_.insert(data_.end(), {0, 1}); }

 private:
  std::uint8_t packed(int a, int b) const {
    return static_cast<std::uint8_t>(bits_ == 8 ? a : a << 4 | b);
  }
  // Damaged pixels, past a row or the picture, paint nothing.
  void paint(int index) {
    if (x_ < 240 && row_ < 320) painted_[static_cast<std::size_t>(319 - row_) * 240 + x_] = index;
    ++x_;
  }

  int bits_;
  Bytes data_;
  std::vector<int> painted_ = std::vector<int>(240 * 320, 0);
  int x_ = 0;
  int row_ = 0;  // stored rows count from the bottom
};

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
