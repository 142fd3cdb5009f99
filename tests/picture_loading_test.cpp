#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <random>

#include "animation/animation_format.hpp"
#include "animation/bmp_header.hpp"
#include "animation/picture_io.hpp"
#include "shell/failure.hpp"
#include "tests/support/bmp.hpp"
#include "tests/support/handles.hpp"

using testing_support::BmpLayout;
using testing_support::Bytes;
using testing_support::make_bmp;
using testing_support::Rgb;
using testing_support::ScratchFolder;
using testing_support::write_bytes;

namespace {

Rgb pattern(int x, int y) {
  return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
          static_cast<std::uint8_t>(x * 7 + y * 13)};
}

std::optional<std::string> refusal_of(const Bytes& bmp) {
  return bmp_refusal(bmp, bmp.size(), "p.bmp");
}

// The message load_picture gives for the file, or no value when it loads.
std::optional<std::string> load_failure(Picture& picture, const std::filesystem::path& path) {
  try {
    load_picture(picture, path.string());
  } catch (const PictureFailure& failure) {
    return failure.what();
  }
  return std::nullopt;
}

void expect_pattern(Picture& picture) {
  const PictureSamples samples = frame_samples(picture);
  for (int y = 0; y < 320; ++y) {
    for (int x = 0; x < 240; ++x) {
      const Rgb want = pattern(x, y);
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(samples[x + 240 * y + 76'800 * c], want[c]) << x << "," << y << "," << c;
      }
    }
  }
}

Bytes with_le32(Bytes bmp, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  return bmp;
}

}  // namespace

TEST(BmpHeaderCheck, AcceptsTheLayoutsTheLibraryDecodes) {
  const BmpLayout layouts[] = {
      {240, 320, 24, 40, 0},  {240, -320, 24, 40, 0}, {240, 320, 32, 40, 0},
      {240, -320, 32, 40, 0}, {240, 320, 24, 108, 0}, {240, 320, 24, 124, 0},
  };
  ScratchFolder folder;
  const PictureHandle picture = make_empty_picture();
  for (const BmpLayout& layout : layouts) {
    SCOPED_TRACE(testing::Message() << layout.height << " rows, " << layout.bits << " bits, "
                                    << layout.info_size << "-byte header");
    const Bytes bmp = make_bmp(layout, pattern);
    EXPECT_EQ(refusal_of(bmp), std::nullopt);
    write_bytes(folder / "p.bmp", bmp);
    EXPECT_EQ(load_failure(*picture, folder / "p.bmp"), std::nullopt);
    expect_pattern(*picture);
  }
}

TEST(BmpHeaderCheck, RefusesWhatItCannotVouchFor) {
  const Bytes good = make_bmp({}, pattern);
  Bytes short_pixels = good;
  short_pixels.resize(good.size() - 1);
  Bytes wrong_signature = good;
  wrong_signature[1] = 'A';
  struct Case {
    const char* what;
    Bytes bmp;
    std::string message;
  };
  const std::string layouts = "; only uncompressed 24-bit and 32-bit BMP pictures can be read.";
  const Case cases[] = {
      {"no signature", wrong_signature, "Invalid BMP file 'p.bmp'."},
      {"53 bytes", Bytes(good.begin(), good.begin() + 53), "Invalid BMP file 'p.bmp'."},
      {"empty", Bytes{}, "Invalid BMP file 'p.bmp'."},
      {"OS/2 header", with_le32(good, 14, 12),
       "The BMP file 'p.bmp' has a header of 12 bytes that cannot be read" + layouts},
      {"header past the end", with_le32(Bytes(good.begin(), good.begin() + 100), 14, 124),
       "The BMP file 'p.bmp' has a header of 124 bytes that cannot be read" + layouts},
      {"RLE8", make_bmp({240, 320, 24, 40, 1}, pattern),
       "The BMP file 'p.bmp' is compressed (method 1)" + layouts},
      {"bit fields", make_bmp({240, 320, 32, 40, 3}, pattern),
       "The BMP file 'p.bmp' is compressed (method 3)" + layouts},
      {"16 bits", make_bmp({240, 320, 16, 40, 0}, pattern),
       "The BMP file 'p.bmp' has 16 bits per pixel in 1 plane(s)" + layouts},
      {"landscape", make_bmp({320, 240, 24, 40, 0}, pattern),
       "The picture 'p.bmp' is 320 x 240 pixels, but a frame needs 240 x 320."},
      {"smaller", make_bmp({10, 5, 24, 40, 0}, pattern),
       "The picture 'p.bmp' is 10 x 5 pixels, but a frame needs 240 x 320."},
      {"mirrored width", with_le32(good, 18, static_cast<std::uint32_t>(-240)),
       "The picture 'p.bmp' is -240 x 320 pixels, but a frame needs 240 x 320."},
      {"height -2^31", with_le32(good, 22, 0x8000'0000u),
       "The picture 'p.bmp' is 240 x 2147483648 pixels, but a frame needs 240 x 320."},
      {"one byte short", short_pixels,
       "The BMP file 'p.bmp' is damaged: its pixels are said to take 230400 bytes from offset "
       "54, after 54 bytes of headers, in a file of 230453 bytes."},
      {"pixels inside the header", with_le32(good, 10, 20),
       "The BMP file 'p.bmp' is damaged: its pixels are said to take 230400 bytes from offset "
       "20, after 54 bytes of headers, in a file of 230454 bytes."},
      {"offset past 2^31", with_le32(good, 10, 0x8000'0000u),
       "The BMP file 'p.bmp' is damaged: its pixels are said to take 230400 bytes from offset "
       "2147483648, after 54 bytes of headers, in a file of 230454 bytes."},
  };
  ScratchFolder folder;
  const PictureHandle picture = make_empty_picture();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(refusal_of(c.bmp), c.message);
    write_bytes(folder / "p.bmp", c.bmp);
    std::string named = c.message;
    named.replace(named.find("'p.bmp'"), 7, "'" + (folder / "p.bmp").string() + "'");
    EXPECT_EQ(load_failure(*picture, folder / "p.bmp"), named);
  }
}

TEST(BmpHeaderCheck, TheSizeThatCountsIsTheFilesNotTheHeaders) {
  // A header that claims a large file does not make up for pixels that are missing.
  const Bytes good = make_bmp({}, pattern);
  EXPECT_EQ(bmp_refusal(good, good.size(), "p.bmp"), std::nullopt);
  EXPECT_NE(bmp_refusal(good, good.size() - 1, "p.bmp"), std::nullopt);
  EXPECT_EQ(refusal_of(with_le32(good, 2, 0)), std::nullopt);  // the file-size field is not used
}

TEST(PictureLoading, MissingFilesAndFoldersAreRefused) {
  ScratchFolder folder;
  const PictureHandle picture = make_empty_picture();
  EXPECT_EQ(load_failure(*picture, folder / "none.bmp"),
            "Failed to open file '" + (folder / "none.bmp").string() + "' for reading.");
  const auto failure = load_failure(*picture, folder.path());
  ASSERT_TRUE(failure.has_value());
}

TEST(PictureLoading, RefusedPicturesLeaveNoFileOpen) {
  if (!testing_support::open_handle_count()) GTEST_SKIP() << "open files cannot be counted here";
  ScratchFolder folder;
  write_bytes(folder / "bad.bmp", make_bmp({320, 240, 24, 40, 0}, pattern));
  write_bytes(folder / "text.bmp", Bytes{'h', 'e', 'l', 'l', 'o'});
  const auto before = testing_support::open_handle_count();
  const PictureHandle picture = make_empty_picture();
  for (int round = 0; round < 600; ++round) {
    EXPECT_TRUE(load_failure(*picture, folder / "bad.bmp").has_value());
    EXPECT_TRUE(load_failure(*picture, folder / "text.bmp").has_value());
  }
  EXPECT_EQ(testing_support::open_handle_count(), before);
}

TEST(PictureLoading, EveryRegressionFileIsRefusedForItsFault) {
  const std::map<std::string, std::string> reasons = {
      {"bmp-colour-count-3gib.bmp", "bits per pixel"},
      {"bmp-row-size-overflow.bmp", "pixels, but a frame needs"},
      {"bmp-pixel-offset-overflow.bmp", "is damaged"},
      {"bmp-width-near-2pow30-32bit.bmp", "pixels, but a frame needs"},
      {"bmp-rle8-compressed.bmp", "is compressed (method 1)"},
      {"bmp-rle4-compressed.bmp", "is compressed (method 2)"},
      {"bmp-truncated-pixels.bmp", "is damaged"},
      {"bmp-height-int-min.bmp", "pixels, but a frame needs"},
      {"bmp-16bit-misdecoded.bmp", "16 bits per pixel"},
      {"bmp-8bit-short-palette.bmp", "8 bits per pixel"},
      {"bmp-core-header.bmp", "header of 12 bytes"},
      {"bmp-header-cut-at-53-bytes.bmp", "Invalid BMP file"},
      {"bmp-pixel-offset-inside-header.bmp", "is damaged"},
      {"bmp-info-size-past-end.bmp", "header of 124 bytes"},
  };
  const PictureHandle picture = make_empty_picture();
  std::size_t replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KORVANTA_REGRESSIONS_DIR)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".bmp") continue;
    SCOPED_TRACE(name);
    ASSERT_TRUE(reasons.count(name)) << "regression file without a known fault";
    const auto failure = load_failure(*picture, entry.path());
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find(reasons.at(name)), std::string::npos) << *failure;
    ++replayed;
  }
  EXPECT_EQ(replayed, reasons.size());
}

// The library's byte writes go through the platform's unlocked output: the file must hold
// the bytes an independent writer makes of the same samples, for every sample value and
// for every pixel a frame can hold.
TEST(PictureSaving, WritesA24BitBottomUpPictureAnIndependentWriterAgreesWith) {
  struct Case {
    const char* name;
    std::function<void(PictureSamples)> fill;
  };
  const Case cases[] = {
      {"random samples",
       [](PictureSamples samples) {
         std::mt19937 random(9);
         for (auto& sample : samples) sample = static_cast<std::uint8_t>(random());
       }},
      {"a frame holding every 16-bit pixel value",
       [](PictureSamples samples) {
         std::vector<std::uint8_t> frame(frame_bytes);
         for (std::size_t k = 0; k < frame_pixels; ++k) {
           frame[2 * k] = static_cast<std::uint8_t>(k);
           frame[2 * k + 1] = static_cast<std::uint8_t>(k >> 8);
         }
         decode_frame(ConstFrameBytes(frame.data(), frame_bytes), samples);
       }},
  };
  ScratchFolder folder;
  std::vector<char> file_buffer(frame_bmp_bytes);
  const PictureHandle picture = make_frame_picture();
  const PictureSamples samples = frame_samples(*picture);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.fill(samples);
    save_picture(*picture, (folder / "out.bmp").string(), file_buffer);
    const Bytes bytes = testing_support::read_bytes(folder / "out.bmp");
    ASSERT_EQ(bytes.size(), 230'454u);
    const auto bmp = testing_support::parse_bmp24(bytes);
    EXPECT_EQ(bmp.width, 240);
    EXPECT_EQ(bmp.height, 320);
    EXPECT_EQ(bmp.file_size_field, 230'454u);
    const Bytes expected = make_bmp({}, [&](int x, int y) {
      return Rgb{samples[x + 240 * y], samples[x + 240 * y + 76'800],
                 samples[x + 240 * y + 153'600]};
    });
    EXPECT_TRUE(std::equal(bytes.begin() + 54, bytes.end(), expected.begin() + 54));
  }
}

TEST(PictureSaving, FailuresToCreateOrToWriteAreReported) {
  ScratchFolder folder;
  std::vector<char> file_buffer(frame_bmp_bytes);
  const PictureHandle picture = make_frame_picture();
  const std::string missing = (folder / "no" / "out.bmp").string();
  try {
    save_picture(*picture, missing, file_buffer);
    ADD_FAILURE() << "a picture was saved into a missing folder";
  } catch (const PictureFailure& failure) {
    EXPECT_EQ(std::string(failure.what()), "Failed to open file '" + missing + "' for writing.");
  }
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no full device here";
  try {
    save_picture(*picture, "/dev/full", file_buffer);
    ADD_FAILURE() << "a write to a full device passed";
  } catch (const StreamFailure& failure) {
    EXPECT_EQ(failure.state(), std::ios_base::badbit);
  }
}
