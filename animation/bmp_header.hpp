// The check of a BMP file's header that runs before the image library reads the file. Only
// layouts that the library decodes correctly, without outside programs and without
// trusting a size field the file does not back, pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The fixed part every accepted BMP starts with: the 14-byte file header and the 40-byte
// information header.
inline constexpr std::size_t bmp_header_bytes = 54;

// Checks `header` (the first bytes of the file, at most bmp_header_bytes of them are
// looked at) against the file's real size. Accepted: the "BM" signature, an information
// header of 40, 52, 56, 108 or 124 bytes, one plane, 24 or 32 bits per pixel without
// compression, 240 × 320 pixels stored bottom-up or top-down, and pixels that start after
// the headers and end inside the file. Returns the refusal message, naming `path`, or no
// value when the file may be handed to the library.
std::optional<std::string> bmp_refusal(std::span<const std::uint8_t> header,
                                       std::uint64_t file_size, const std::string& path);

// The message for a picture of the wrong size.
std::string wrong_size_message(const std::string& path, std::int64_t width, std::int64_t height);
