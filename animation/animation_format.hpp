// The phone's animation file: frames of 240 × 320 RGB565 pixels, little-endian, row-major
// from the top-left, standing back to back with nothing else in the file. A picture is the
// planar 8-bit sample buffer of the image container: sample (x, y, c) at x + 240·y + 76,800·c.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

inline constexpr int frame_width = 240;
inline constexpr int frame_height = 320;
inline constexpr std::size_t frame_pixels = 76'800;
inline constexpr std::size_t frame_bytes = 2 * frame_pixels;
inline constexpr std::size_t picture_channels = 3;
inline constexpr std::size_t picture_samples = picture_channels * frame_pixels;

using FrameBytes = std::span<std::uint8_t, frame_bytes>;
using ConstFrameBytes = std::span<const std::uint8_t, frame_bytes>;
using PictureSamples = std::span<std::uint8_t, picture_samples>;
using ConstPictureSamples = std::span<const std::uint8_t, picture_samples>;

// The number of frames in an animation file of `file_size` bytes, or no value when the
// size is not a whole multiple of a frame (or holds more frames than a signed 32-bit count).
std::optional<std::int32_t> animation_frame_count(std::uint64_t file_size);

// Writes the frame of `picture` into `frame`, dropping the low bits of every sample (plain
// truncation). The picture is not changed.
void encode_frame(ConstPictureSamples picture, FrameBytes frame);

// Overwrites every sample of `picture` with the pixels of `frame`; the low bits of each
// sample come out zero.
void decode_frame(ConstFrameBytes frame, PictureSamples picture);
