#include "animation/bmp_header.hpp"

#include <cstdlib>

#include "animation/animation_format.hpp"

namespace {

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
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

constexpr const char* accepted_layouts =
    "only uncompressed 24-bit and 32-bit BMP pictures can be read";

}  // namespace

std::string wrong_size_message(const std::string& path, std::int64_t width, std::int64_t height) {
  return "The picture '" + path + "' is " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels, but a frame needs " + std::to_string(frame_width) + " x " +
         std::to_string(frame_height) + ".";
}

std::optional<std::string> bmp_refusal(std::span<const std::uint8_t> header,
                                       std::uint64_t file_size, const std::string& path) {
  if (header.size() < bmp_header_bytes || file_size < bmp_header_bytes || header[0] != 'B' ||
      header[1] != 'M') {
    return "Invalid BMP file '" + path + "'.";
  }
  const std::uint32_t info_size = read_le32(header, 14);
  if (!accepted_info_header_size(info_size) || 14 + std::uint64_t{info_size} > file_size) {
    return "The BMP file '" + path + "' has a header of " + std::to_string(info_size) +
           " bytes that cannot be read; " + accepted_layouts + ".";
  }
  const std::uint32_t planes = read_le16(header, 26);
  const std::uint32_t bits = read_le16(header, 28);
  const std::uint32_t compression = read_le32(header, 30);
  if (compression != 0) {
    return "The BMP file '" + path + "' is compressed (method " + std::to_string(compression) +
           "); " + accepted_layouts + ".";
  }
  if (planes != 1 || (bits != 24 && bits != 32)) {
    return "The BMP file '" + path + "' has " + std::to_string(bits) + " bits per pixel in " +
           std::to_string(planes) + " plane(s); " + accepted_layouts + ".";
  }
  const std::int64_t width = read_signed_le32(header, 18);
  const std::int64_t height = std::llabs(read_signed_le32(header, 22));
  if (width != frame_width || height != frame_height) {
    return wrong_size_message(path, width, height);
  }
  // Rows are whole multiples of 4 bytes already at this width for both depths.
  const std::uint64_t pixel_bytes = std::uint64_t{frame_pixels} * (bits / 8);
  const std::uint64_t first_pixel = read_le32(header, 10);
  const std::uint64_t headers_end = 14 + std::uint64_t{info_size};
  // The image library keeps the offset in a signed 32-bit field.
  if (first_pixel < headers_end || first_pixel > 0x7FFF'FFFFu ||
      first_pixel + pixel_bytes > file_size) {
    return "The BMP file '" + path + "' is damaged: its pixels are said to take " +
           std::to_string(pixel_bytes) + " bytes from offset " + std::to_string(first_pixel) +
           ", after " + std::to_string(headers_end) + " bytes of headers, in a file of " +
           std::to_string(file_size) + " bytes.";
  }
  return std::nullopt;
}
