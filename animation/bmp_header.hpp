// The check of a BMP file's headers that runs before any of its pixels are read, and the
// layout it finds. Only frames of 240 × 320 pixels pass, in layouts whose every size and
// offset the file backs; each layout goes to the reader that decodes it exactly: the image
// library for 24 and 32 bits and for palette pictures whose palette has a colour for every
// possible index, under any header but the 12-byte one of OS/2 1.x, whose fields it cannot
// place; our own decoders (animation/bmp_pixels.hpp) for the rest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>

// The bytes at the start of a file that the check may look at: the 14-byte file header,
// an information header of up to 124 bytes, 12 bytes of bit fields and a palette of 256
// colours.
inline constexpr std::size_t bmp_prefix_bytes = 14 + 124 + 12 + 4 * 256;

// Who decodes the pixels.
enum class BmpReader {
  image_library,  // 24 or 32 bits uncompressed; 1, 4 or 8 bits with a full palette
  palette,        // 1, 4 or 8 bits uncompressed with a palette of fewer colours
  bit_fields,     // 16 bits (X1R5G5B5 unless bit fields say otherwise); 32 with bit fields;
                  // 24 under a 12-byte header
  rle8,           // 8-bit indices, run-length encoded
  rle4,           // 4-bit indices, run-length encoded
};

struct BmpLayout {
  BmpReader reader;
  std::uint16_t bits;  // per pixel
  bool top_down;       // rows stored from the top (never for run-length encoded pixels)
  std::uint64_t pixel_offset;
  std::uint64_t pixel_bytes;  // uncompressed: 320 rows; encoded: the bytes there are to read
  std::uint64_t row_bytes;    // uncompressed rows, padded to 4 bytes
  std::uint64_t palette_offset;
  std::uint32_t palette_colours;       // colours the file holds (none above 8 bits)
  std::uint32_t palette_entry_bytes;   // 4 (blue, green, red, unused); 3 under a 12-byte header
  std::array<std::uint32_t, 3> masks;  // red, green, blue of a bit_fields picture
};

// Run-length encoded pixels are read up to this many bytes: far more than any encoder
// writes for a frame (about 80 KB at most), and a bound for a file that never ends them.
inline constexpr std::uint64_t bmp_run_length_limit = 4 << 20;

// Checks `prefix` (the file's first bytes, up to bmp_prefix_bytes of them) against the
// file's real size `file_size`. Accepted: the "BM" signature; an information header of
// 40, 52, 56, 108 or 124 bytes (Windows), or 12 or 64 bytes (OS/2 1.x and 2.x); one plane;
// 240 × 320 pixels, bottom-up or top-down; 1, 4 or 8 bits with a palette (uncompressed, or
// RLE8 and RLE4 bottom-up), 16 bits (uncompressed or with bit fields), 24 bits, 32 bits
// (uncompressed or with bit fields). The 12-byte header holds 16-bit width and height, is
// bottom-up and uncompressed, has 1, 4, 8 or 24 bits and a palette of 3-byte entries, one
// for every index; the 64-byte header is read as the 40-byte one, without bit fields (its
// methods 3 and 4 are Huffman 1D and RLE24, which are refused).
// Bit fields must each be one run of 1 to 8 bits inside the pixel, apart from each other;
// the palette must lie between the headers and the pixels, and the pixels inside the file.
// Returns the layout, or the refusal message naming `path`.
std::variant<BmpLayout, std::string> check_bmp(std::span<const std::uint8_t> prefix,
                                               std::uint64_t file_size, const std::string& path);

// The message for a picture of the wrong size.
std::string wrong_size_message(const std::string& path, std::int64_t width, std::int64_t height);
