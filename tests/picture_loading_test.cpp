#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <variant>

#include "animation/animation_format.hpp"
#include "animation/bmp_header.hpp"
#include "animation/picture_io.hpp"
#include "shell/failure.hpp"
#include "shell/target_file.hpp"
#include "tests/support/bmp.hpp"
#include "tests/support/handles.hpp"

using testing_support::BmpFormat;
using testing_support::Bytes;
using testing_support::make_bmp;
using testing_support::Rgb;
using testing_support::ScratchFolder;
using testing_support::write_bytes;

namespace {

// A picture saved as K saves it: claimed, written, put in place.
void save_picture_at(const Picture& picture, const std::string& path, std::span<char> buffer) {
  TargetFile target = claim_picture(path, {});
  save_picture(picture, target, buffer);
  target.put_in_place();
}

Rgb pattern(int x, int y) {
  return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
          static_cast<std::uint8_t>(x * 7 + y * 13)};
}

// The refusal of the header check alone, or no value when the headers pass.
std::optional<std::string> refusal_of(const Bytes& bmp, std::uint64_t file_size) {
  const auto checked = check_bmp(bmp, file_size, "p.bmp");
  if (const auto* refusal = std::get_if<std::string>(&checked)) return *refusal;
  return std::nullopt;
}

std::optional<std::string> refusal_of(const Bytes& bmp) {
  return refusal_of(bmp, bmp.size());
}

// Run-length encoded pixels of 240 × 320, made by `write`.
Bytes run_length_bmp(int bits, std::size_t colours,
                     const std::function<void(testing_support::RunLengthWriter&)>& write,
                     std::int32_t height = 320) {
  testing_support::RunLengthWriter rle(bits);
  write(rle);
  return testing_support::bmp_file({240, height, static_cast<std::uint16_t>(bits), 40,
                                    bits == 8 ? 1u : 2u, std::vector<Rgb>(colours)},
                                   rle.data());
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

Bytes without_last(std::size_t count, Bytes bytes) {
  bytes.resize(bytes.size() - count);
  return bytes;
}

Bytes with_le32(Bytes bmp, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  return bmp;
}

}  // namespace

TEST(BmpHeaderCheck, AcceptsTheLayoutsTheLibraryDecodes) {
  const BmpFormat layouts[] = {
      {240, 320, 24, 40, 0},  {240, -320, 24, 40, 0}, {240, 320, 32, 40, 0},
      {240, -320, 32, 40, 0}, {240, 320, 24, 108, 0}, {240, 320, 24, 124, 0},
      {240, -320, 24, 64, 0},
  };
  ScratchFolder folder;
  const PictureHandle picture = make_empty_picture();
  for (const BmpFormat& layout : layouts) {
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
  using testing_support::bmp_file;
  using testing_support::pixel_rows;
  using testing_support::RunLengthWriter;
  const BmpFormat short_palette{240, 320, 8, 40, 0, std::vector<Rgb>(20)};
  struct Case {
    const char* what;
    Bytes bmp;
    std::string message;
    bool in_pixels = false;  // found by the decoder, past the header check
  };
  const std::string damaged = "The BMP file 'p.bmp' is damaged: ";
  const std::string unusable_fields =
      " that cannot be read; each must be one run of 1 to 8 bits within the ";
  const Case cases[] = {
      {"no signature", wrong_signature, "Invalid BMP file 'p.bmp'."},
      {"53 bytes", Bytes(good.begin(), good.begin() + 53), "Invalid BMP file 'p.bmp'."},
      {"empty", Bytes{}, "Invalid BMP file 'p.bmp'."},
      {"16-byte header", with_le32(good, 14, 16),
       "The BMP file 'p.bmp' has a header of 16 bytes that cannot be read; headers of 12, 40, 52, "
       "56, 64, 108 and 124 bytes can."},
      {"16 bits, OS/2 1.x header", bmp_file({240, 320, 16, 12, 0}, Bytes(100)),
       "The BMP file 'p.bmp' has 16 bits per pixel under a 12-byte header; 1, 4, 8 and 24 bits "
       "can be read there."},
      {"OS/2 2.x Huffman", bmp_file({240, 320, 1, 64, 3}, Bytes(100)),
       "The BMP file 'p.bmp' is compressed with OS/2 method 3 (Huffman 1D), which cannot be "
       "read; uncompressed, RLE8 and RLE4 pixels can."},
      {"header past the end", with_le32(Bytes(good.begin(), good.begin() + 100), 14, 124),
       damaged + "its header of 124 bytes runs past the end of the file (100 bytes)."},
      {"JPEG inside", make_bmp({240, 320, 24, 40, 4}, pattern),
       "The BMP file 'p.bmp' holds a JPEG picture; only pixels of the BMP format itself can be "
       "read."},
      {"12 bits", with_le32(good, 26, 1 | 12 << 16),
       "The BMP file 'p.bmp' has 12 bits per pixel; 1, 4, 8, 16, 24 and 32 bits can be read."},
      {"RLE8 of 24 bits", make_bmp({240, 320, 24, 40, 1}, pattern),
       damaged + "RLE8 encoding with 24 bits per pixel is impossible."},
      {"RLE8 from the top",
       run_length_bmp(
           8, 256, [](RunLengthWriter& w) { w.end_picture(); }, -320),
       damaged + "RLE8 encoding of rows stored from the top is impossible."},
      {"no bit fields", make_bmp({240, 320, 32, 40, 3}, pattern),
       "The BMP file 'p.bmp' has bit fields red 0x00000000, green 0x00000000, blue 0x00000000" +
           unusable_fields + "32-bit pixel, apart from the others."},
      {"overlapping bit fields", bmp_file({240, 320, 16, 40, 3, {}, {0xF800, 0x0FE0, 0x1F}}, {}),
       "The BMP file 'p.bmp' has bit fields red 0x0000F800, green 0x00000FE0, blue 0x0000001F" +
           unusable_fields + "16-bit pixel, apart from the others."},
      {"landscape", make_bmp({320, 240, 24, 40, 0}, pattern),
       "The picture 'p.bmp' is 320 x 240 pixels, but a frame needs 240 x 320."},
      {"smaller", make_bmp({10, 5, 24, 40, 0}, pattern),
       "The picture 'p.bmp' is 10 x 5 pixels, but a frame needs 240 x 320."},
      {"mirrored width", with_le32(good, 18, static_cast<std::uint32_t>(-240)),
       "The picture 'p.bmp' is -240 x 320 pixels, but a frame needs 240 x 320."},
      {"height -2^31", with_le32(good, 22, 0x8000'0000u),
       "The picture 'p.bmp' is 240 x 2147483648 pixels, but a frame needs 240 x 320."},
      {"one byte short", short_pixels,
       damaged + "its pixels are said to take 230400 bytes from offset 54, after 54 bytes of "
                 "headers, in a file of 230453 bytes."},
      {"pixels inside the header", with_le32(good, 10, 20),
       damaged + "its pixels are said to take 230400 bytes from offset 20, after 54 bytes of "
                 "headers, in a file of 230454 bytes."},
      {"offset past 2^31", with_le32(good, 10, 0x8000'0000u),
       damaged + "its pixels are said to take 230400 bytes from offset 2147483648, after 54 "
                 "bytes of headers, in a file of 230454 bytes."},
      {"a palette running into the pixels",
       with_le32(bmp_file(short_palette, pixel_rows(short_palette, [](int, int) { return 1; })), 46,
                 300),
       damaged + "its palette of 300 colours from offset 54 runs into its pixels at offset 134 in "
                 "a file of 76934 bytes."},
      {"an index past a short palette",
       bmp_file(short_palette,
                pixel_rows(short_palette, [](int x, int y) { return x == 7 && y == 3 ? 25 : 19; })),
       damaged + "pixel (7, 3) uses colour 25 of a palette of 20.", true},
      {"a run past its row", run_length_bmp(8, 256, [](RunLengthWriter& w) { w.run(241, 1); }),
       damaged + "a run of 241 pixels passes the end of row 319.", true},
      {"a move past the edge", run_length_bmp(8, 256, [](RunLengthWriter& w) { w.move(241, 0); }),
       damaged + "a move passes the edge of the picture.", true},
      {"rows past the last",
       run_length_bmp(8, 256,
                      [](RunLengthWriter& w) {
                        for (int row = 0; row < 320; ++row) w.end_row();
                        w.run(1, 0);
                      }),
       damaged + "its encoded pixels go on past the last row.", true},
      {"no end code", run_length_bmp(8, 256, [](RunLengthWriter& w) { w.run(10, 1); }),
       damaged + "its encoded pixels end before their end-of-picture code.", true},
      {"a literal cut short",
       without_last(3, run_length_bmp(8, 256,
                                      [](RunLengthWriter& w) {
                                        w.literal({1, 2, 3, 4, 5, 6});
                                      })),
       damaged + "its encoded pixels end inside a run of 6 pixels.", true},
      {"an RLE4 index past the palette",
       run_length_bmp(4, 4, [](RunLengthWriter& w) { w.run(5, 3, 7); }),
       damaged + "pixel (1, 319) uses colour 7 of a palette of 4.", true},
  };
  ScratchFolder folder;
  const PictureHandle picture = make_empty_picture();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(refusal_of(c.bmp), c.in_pixels ? std::nullopt : std::optional(c.message));
    write_bytes(folder / "p.bmp", c.bmp);
    std::string named = c.message;
    named.replace(named.find("'p.bmp'"), 7, "'" + (folder / "p.bmp").string() + "'");
    EXPECT_EQ(load_failure(*picture, folder / "p.bmp"), named);
  }
}

TEST(BmpHeaderCheck, TheSizeThatCountsIsTheFilesNotTheHeaders) {
  // A header that claims a large file does not make up for pixels that are missing.
  const Bytes good = make_bmp({}, pattern);
  EXPECT_EQ(refusal_of(good, good.size()), std::nullopt);
  EXPECT_NE(refusal_of(good, good.size() - 1), std::nullopt);
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

// Each file that once broke the picture path now ends as its fault was mended: refused for
// its reason, or (the run-length encoded ones, which the image library would have handed to
// an outside program) decoded by us.
TEST(PictureLoading, EveryRegressionFileEndsAsItsFaultWasMended) {
  const std::string loads = "";
  const std::map<std::string, std::string> reasons = {
      {"bmp-colour-count-3gib.bmp", "its palette of 805306368 colours"},
      {"bmp-row-size-overflow.bmp", "pixels, but a frame needs"},
      {"bmp-pixel-offset-overflow.bmp", "is damaged"},
      {"bmp-width-near-2pow30-32bit.bmp", "pixels, but a frame needs"},
      {"bmp-rle8-compressed.bmp", loads},
      {"bmp-rle4-compressed.bmp", loads},
      {"bmp-truncated-pixels.bmp", "is damaged"},
      {"bmp-height-int-min.bmp", "pixels, but a frame needs"},
      {"bmp-16bit-misdecoded.bmp", "is damaged: its pixels are said to take 153600 bytes"},
      {"bmp-8bit-short-palette.bmp", "is damaged: its pixels are said to take 76800 bytes"},
      {"bmp-core-header.bmp", "pixels are said to take 230400 bytes from offset 26"},
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
    if (reasons.at(name) == loads) {
      EXPECT_EQ(failure, std::nullopt);
      const PictureSamples samples = frame_samples(*picture);
      EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](auto s) { return s == 0; }));
    } else {
      ASSERT_TRUE(failure.has_value());
      EXPECT_NE(failure->find(reasons.at(name)), std::string::npos) << *failure;
    }
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
    save_picture_at(*picture, (folder / "out.bmp").string(), file_buffer);
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
    save_picture_at(*picture, missing, file_buffer);
    ADD_FAILURE() << "a picture was saved into a missing folder";
  } catch (const PictureFailure& failure) {
    EXPECT_EQ(std::string(failure.what()), "Failed to open file '" + missing + "' for writing.");
  }
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no full device here";
  try {
    save_picture_at(*picture, "/dev/full", file_buffer);
    ADD_FAILURE() << "a write to a full device passed";
  } catch (const PictureFailure& failure) {
    EXPECT_EQ(std::string(failure.what()), "The file '/dev/full' cannot be written to its end.");
  }
  EXPECT_TRUE(std::filesystem::exists("/dev/full")) << "only a regular file is removed";
}
