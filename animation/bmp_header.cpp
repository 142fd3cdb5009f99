#include "animation/bmp_header.hpp"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "animation/animation_format.hpp"

namespace {

constexpr std::uint32_t uncompressed = 0;
constexpr std::uint32_t run_length_8 = 1;
constexpr std::uint32_t run_length_4 = 2;
constexpr std::uint32_t bit_fields = 3;
constexpr std::uint32_t jpeg = 4;
constexpr std::uint32_t png = 5;

// The OS/2 headers: 1.x, whose fields are 16 bits wide and end at the bits per pixel, and
// 2.x, whose first 40 bytes are those of the Windows 3 header.
constexpr std::uint32_t os2_core_header = 12;
constexpr std::uint32_t os2_header = 64;

// Where the bit fields of a picture with a 40-byte information header follow it, and where
// the longer headers hold them: the same 12 bytes of the file either way.
constexpr std::size_t masks_at = 54;

// The image library keeps the pixel offset in a signed 32-bit field, and the C library's
// seek takes a long, 32 bits on Windows.
constexpr std::uint64_t offset_limit = 0x7FFF'FFFF;

std::uint32_t read_le16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return bytes[at] | static_cast<std::uint32_t>(bytes[at + 1]) << 8;
}

std::uint32_t read_le32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return read_le16(bytes, at) | read_le16(bytes, at + 2) << 16;
}

std::int64_t read_signed_le32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::int32_t>(read_le32(bytes, at));
}

bool accepted_info_header_size(std::uint32_t size) {
  return size == os2_core_header || size == 40 || size == 52 || size == 56 || size == os2_header ||
         size == 108 || size == 124;
}

// One run of 1 to 8 bits inside a pixel of `bits` bits.
bool usable_mask(std::uint32_t mask, std::uint32_t bits) {
  if (mask == 0 || (bits < 32 && mask >> bits != 0)) return false;
  const std::uint32_t run = mask >> std::countr_zero(mask);
  return (run & (run + 1)) == 0 && std::popcount(run) <= 8;
}

std::string hex(std::uint32_t value) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += digits[(value >> shift) & 0xF];
  return text;
}

std::string method_name(std::uint32_t compression) {
  switch (compression) {
    case run_length_8:
      return "RLE8 encoding";
    case run_length_4:
      return "RLE4 encoding";
    default:
      return "bit fields";
  }
}

// The bits per pixel each way of storing pixels allows.
bool bits_fit_method(std::uint32_t bits, std::uint32_t compression) {
  switch (compression) {
    case uncompressed:
      return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case run_length_8:
      return bits == 8;
    case run_length_4:
      return bits == 4;
    default:
      return bits == 16 || bits == 32;
  }
}

}  // namespace

std::string wrong_size_message(const std::string& path, std::int64_t width, std::int64_t height) {
  return "The picture '" + path + "' is " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels, but a frame needs " + std::to_string(frame_width) + " x " +
         std::to_string(frame_height) + ".";
}

std::variant<BmpLayout, std::string> check_bmp(std::span<const std::uint8_t> prefix,
                                               std::uint64_t file_size, const std::string& path) {
  const std::string file = "The BMP file '" + path + "'";
  const std::string damaged = file + " is damaged: ";
  // The prefix must be all the file has up to its length, or the fields it lacks are unknown.
  if (file_size < 54 || prefix.size() < std::min<std::uint64_t>(file_size, bmp_prefix_bytes) ||
      prefix[0] != 'B' || prefix[1] != 'M') {
    return "Invalid BMP file '" + path + "'.";
  }
  const std::uint32_t info_size = read_le32(prefix, 14);
  if (!accepted_info_header_size(info_size)) {
    return file + " has a header of " + std::to_string(info_size) +
           " bytes that cannot be read; headers of 12, 40, 52, 56, 64, 108 and 124 bytes can.";
  }
  if (14 + std::uint64_t{info_size} > file_size) {
    return damaged + "its header of " + std::to_string(info_size) +
           " bytes runs past the end of the file (" + std::to_string(file_size) + " bytes).";
  }
  const bool core = info_size == os2_core_header;
  const std::uint32_t planes = read_le16(prefix, core ? 22 : 26);
  const std::uint32_t bits = read_le16(prefix, core ? 24 : 28);
  const std::uint32_t compression = core ? uncompressed : read_le32(prefix, 30);
  if (info_size == os2_header && compression > run_length_4) {
    return file + " is compressed with OS/2 method " + std::to_string(compression) +
           (compression == 3   ? " (Huffman 1D)"
            : compression == 4 ? " (RLE24)"
                               : "") +
           ", which cannot be read; uncompressed, RLE8 and RLE4 pixels can.";
  }
  if (compression == jpeg || compression == png) {
    return file + " holds a " + (compression == jpeg ? "JPEG" : "PNG") +
           " picture; only pixels of the BMP format itself can be read.";
  }
  if (compression > bit_fields) {
    return file + " is compressed with method " + std::to_string(compression) +
           ", which cannot be read; uncompressed, RLE8, RLE4 and bit-field pixels can.";
  }
  if (planes != 1) {
    return file + " has " + std::to_string(planes) + " planes; pictures of one plane can be read.";
  }
  if (core && bits != 1 && bits != 4 && bits != 8 && bits != 24) {
    return file + " has " + std::to_string(bits) +
           " bits per pixel under a 12-byte header; 1, 4, 8 and 24 bits can be read there.";
  }
  if (!bits_fit_method(bits, compression)) {
    if (compression == uncompressed) {
      return file + " has " + std::to_string(bits) +
             " bits per pixel; 1, 4, 8, 16, 24 and 32 bits can be read.";
    }
    return damaged + method_name(compression) + " with " + std::to_string(bits) +
           " bits per pixel is impossible.";
  }
  const std::int64_t width = core ? read_le16(prefix, 18) : read_signed_le32(prefix, 18);
  const std::int64_t stored_height = core ? read_le16(prefix, 20) : read_signed_le32(prefix, 22);
  const std::int64_t height = std::llabs(stored_height);
  if (width != frame_width || height != frame_height) {
    return wrong_size_message(path, width, height);
  }
  const bool encoded = compression == run_length_8 || compression == run_length_4;
  if (encoded && stored_height < 0) {
    return damaged + method_name(compression) + " of rows stored from the top is impossible.";
  }

  BmpLayout layout{};
  layout.bits = static_cast<std::uint16_t>(bits);
  layout.top_down = stored_height < 0;
  layout.pixel_offset = read_le32(prefix, 10);
  layout.row_bytes = (std::uint64_t{frame_width} * bits + 31) / 32 * 4;
  layout.palette_offset = 14 + std::uint64_t{info_size};
  layout.palette_entry_bytes = core ? 3 : 4;
  std::uint64_t headers_end = layout.palette_offset;
  if (compression == bit_fields) {
    if (info_size == 40) headers_end += 12;
    if (headers_end > file_size) {
      return damaged + "its bit fields run past the end of the file (" + std::to_string(file_size) +
             " bytes).";
    }
    layout.masks = {read_le32(prefix, masks_at), read_le32(prefix, masks_at + 4),
                    read_le32(prefix, masks_at + 8)};
    const auto [red, green, blue] = layout.masks;
    if (!usable_mask(red, bits) || !usable_mask(green, bits) || !usable_mask(blue, bits) ||
        (red & green) != 0 || (red & blue) != 0 || (green & blue) != 0) {
      return file + " has bit fields red " + hex(red) + ", green " + hex(green) + ", blue " +
             hex(blue) + " that cannot be read; each must be one run of 1 to 8 bits within the " +
             std::to_string(bits) + "-bit pixel, apart from the others.";
    }
  } else if (bits == 16) {
    layout.masks = {0x7C00, 0x03E0, 0x001F};  // X1R5G5B5
  } else if (bits == 24) {
    layout.masks = {0xFF0000, 0x00FF00, 0x0000FF};
  }

  std::uint64_t pixels_from = headers_end;  // where the pixels may start
  if (bits <= 8) {
    const std::uint64_t full_palette = std::uint64_t{1} << bits;
    const std::uint64_t stated = core ? 0 : read_le32(prefix, 46);  // no such field in OS/2 1.x
    const std::uint64_t colours = stated == 0 ? full_palette : stated;
    pixels_from += layout.palette_entry_bytes * colours;
    if (pixels_from > layout.pixel_offset) {
      return damaged + "its palette of " + std::to_string(colours) + " colours from offset " +
             std::to_string(layout.palette_offset) + " runs into its pixels at offset " +
             std::to_string(layout.pixel_offset) + " in a file of " + std::to_string(file_size) +
             " bytes.";
    }
    layout.palette_colours = static_cast<std::uint32_t>(std::min(colours, full_palette));
  }

  if (encoded) {
    if (layout.pixel_offset > file_size || layout.pixel_offset > offset_limit) {
      return damaged + "its encoded pixels are said to start at offset " +
             std::to_string(layout.pixel_offset) + " in a file of " + std::to_string(file_size) +
             " bytes.";
    }
    layout.reader = compression == run_length_8 ? BmpReader::rle8 : BmpReader::rle4;
    layout.pixel_bytes = std::min(file_size - layout.pixel_offset, bmp_run_length_limit);
    return layout;
  }
  layout.pixel_bytes = layout.row_bytes * frame_height;
  if (layout.pixel_offset < pixels_from || layout.pixel_offset > offset_limit ||
      layout.pixel_offset + layout.pixel_bytes > file_size) {
    return damaged + "its pixels are said to take " + std::to_string(layout.pixel_bytes) +
           " bytes from offset " + std::to_string(layout.pixel_offset) + ", after " +
           std::to_string(pixels_from) + " bytes of headers, in a file of " +
           std::to_string(file_size) + " bytes.";
  }
  if (compression == bit_fields || bits == 16 || (core && bits == 24)) {
    layout.reader = BmpReader::bit_fields;
  } else if (bits <= 8 && (core || layout.palette_colours < (1u << bits))) {
    // The image library leaves a picture of a shorter palette black: it only looks up a
    // full palette, of 4-byte entries.
    layout.reader = BmpReader::palette;
  } else {
    layout.reader = BmpReader::image_library;
  }
  return layout;
}
