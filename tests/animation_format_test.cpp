#include "animation/animation_format.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

namespace {

using Samples = std::vector<std::uint8_t>;

std::size_t sample_index(int x, int y, int channel) {
  return static_cast<std::size_t>(x) + 240u * y + 76'800u * channel;
}

Samples encode(const Samples& picture) {
  Samples frame(frame_bytes, 0xA5);
  encode_frame(ConstPictureSamples(picture.data(), picture_samples),
               FrameBytes(frame.data(), frame_bytes));
  return frame;
}

Samples decode(const Samples& frame) {
  Samples picture(picture_samples, 0x5A);
  decode_frame(ConstFrameBytes(frame.data(), frame_bytes),
               PictureSamples(picture.data(), picture_samples));
  return picture;
}

Samples random_bytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  Samples bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(random));
  return bytes;
}

}  // namespace

TEST(AnimationFormat, CountsWholeFramesAndRefusesEverythingElse) {
  struct Case {
    std::uint64_t size;
    std::optional<std::int32_t> frames;
  };
  const std::uint64_t most = std::numeric_limits<std::int32_t>::max();
  const Case cases[] = {
      {0, 0},
      {153'600, 1},
      {307'200, 2},
      {153'600 * 300ull, 300},
      {153'599, std::nullopt},
      {153'601, std::nullopt},
      {1, std::nullopt},
      {307'199, std::nullopt},
      {153'600 * most, std::numeric_limits<std::int32_t>::max()},
      {153'600 * (most + 1), std::nullopt},  // more frames than the count can hold
      {std::numeric_limits<std::uint64_t>::max(), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    EXPECT_EQ(animation_frame_count(c.size), c.frames);
  }
}

TEST(AnimationFormat, WorkedValuesEncodeAndDecodeEveryPixelAlike) {
  struct Case {
    std::uint8_t r, g, b;
    std::uint8_t low, high;
    std::uint8_t back_r, back_g, back_b;
  };
  const Case cases[] = {
      {255, 255, 255, 0xFF, 0xFF, 248, 252, 248}, {255, 0, 0, 0x00, 0xF8, 248, 0, 0},
      {0, 255, 0, 0xE0, 0x07, 0, 252, 0},         {0, 0, 255, 0x1F, 0x00, 0, 0, 248},
      {18, 52, 86, 0xAA, 0x11, 16, 52, 80},       {7, 3, 7, 0x00, 0x00, 0, 0, 0},
      {128, 128, 128, 0x10, 0x84, 128, 128, 128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.r) << "," << int(c.g) << "," << int(c.b));
    Samples picture(picture_samples);
    std::fill_n(picture.begin(), frame_pixels, c.r);
    std::fill_n(picture.begin() + frame_pixels, frame_pixels, c.g);
    std::fill_n(picture.begin() + 2 * frame_pixels, frame_pixels, c.b);
    const Samples frame = encode(picture);
    Samples expected_frame(frame_bytes);
    for (std::size_t k = 0; k < frame_pixels; ++k) {
      expected_frame[2 * k] = c.low;
      expected_frame[2 * k + 1] = c.high;
    }
    EXPECT_EQ(frame, expected_frame);

    Samples expected_picture(picture_samples);
    std::fill_n(expected_picture.begin(), frame_pixels, c.back_r);
    std::fill_n(expected_picture.begin() + frame_pixels, frame_pixels, c.back_g);
    std::fill_n(expected_picture.begin() + 2 * frame_pixels, frame_pixels, c.back_b);
    EXPECT_EQ(decode(frame), expected_picture);
  }
}

TEST(AnimationFormat, FrameOffsetsFollowRowsFromTheTopLeft) {
  struct Case {
    int x, y;
    std::size_t offset;
  };
  const Case cases[] = {{0, 0, 0}, {239, 0, 478}, {0, 1, 480}, {1, 1, 482}, {239, 319, 153'598}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    // One red pixel on black, encoded: only its pair of bytes is set.
    Samples picture(picture_samples, 0);
    picture[sample_index(c.x, c.y, 0)] = 0xFF;
    const Samples frame = encode(picture);
    for (std::size_t at = 0; at < frame_bytes; ++at) {
      ASSERT_EQ(frame[at], at == c.offset + 1 ? 0xF8 : 0x00) << "byte " << at;
    }
    // One pure blue pixel in the frame, decoded: only its blue sample is set.
    Samples blue_frame(frame_bytes, 0);
    blue_frame[c.offset] = 0x1F;
    const Samples decoded = decode(blue_frame);
    for (std::size_t at = 0; at < picture_samples; ++at) {
      ASSERT_EQ(decoded[at], at == sample_index(c.x, c.y, 2) ? 248 : 0) << "sample " << at;
    }
  }
}

TEST(AnimationFormat, DecodingThenEncodingReproducesAnyFrame) {
  for (unsigned seed : {1u, 2u, 3u, 77u}) {
    SCOPED_TRACE(seed);
    const Samples frame = random_bytes(frame_bytes, seed);
    EXPECT_EQ(encode(decode(frame)), frame);
  }
  for (std::uint8_t fill : {0x00, 0xFF, 0x5A}) {
    const Samples frame(frame_bytes, fill);
    EXPECT_EQ(encode(decode(frame)), frame);
  }
}

TEST(AnimationFormat, EncodingThenDecodingKeepsTheHighBitsOfEverySample) {
  for (unsigned seed : {4u, 5u}) {
    SCOPED_TRACE(seed);
    const Samples picture = random_bytes(picture_samples, seed);
    const Samples unchanged = picture;
    const Samples back = decode(encode(picture));
    EXPECT_EQ(picture, unchanged);
    for (std::size_t at = 0; at < picture_samples; ++at) {
      const std::uint8_t kept = at / frame_pixels == 1 ? 0xFC : 0xF8;
      ASSERT_EQ(back[at], picture[at] & kept) << "sample " << at;
    }
  }
}
