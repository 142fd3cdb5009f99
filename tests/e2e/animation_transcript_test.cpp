#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <functional>
#include <random>

#include "tests/support/bmp.hpp"
#include "tests/support/transcript.hpp"

using testing_support::BmpFormat;
using testing_support::Bytes;
using testing_support::frame_pixel;
using testing_support::make_bmp;
using testing_support::parse_bmp24;
using testing_support::read_bytes;
using testing_support::Rgb;
using testing_support::rgb565_colour;
using testing_support::transcript;
using testing_support::TranscriptTest;
using testing_support::write_bytes;

namespace {

namespace fs = std::filesystem;

constexpr std::size_t frame_size = 153'600;

const std::string source_prompt = "Source file (Ex: C:\\LG_poweron.bin): ";
const std::string prefix_prompt = "Target file (Ex: C\\image): ";
const std::string target_prompt = "Target file (Ex: C:\\LG_poweroff.bin): ";

std::string picture_prompt(const std::string& number) {
  return "Source fileFichier (.bmp) n" + number + " (Press Enter to finish): ";
}

std::string picture_prompt(int number) {
  return picture_prompt(std::to_string(number));
}

std::string retry(const std::string& message) {
  return "Error: " + message + " Please try again\n";
}

Bytes random_animation(std::size_t frames, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(frames * frame_size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

Rgb gradient(int x, int y) {
  return {static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
          static_cast<std::uint8_t>(x ^ y)};
}

Rgb white(int, int) {
  return {255, 255, 255};
}

class AnimationTranscript : public TranscriptTest {
 protected:
  // Checks, with the tests' own BMP reader, that the picture at `name` shows `frame` of the
  // animation.
  void expect_frame_picture(const std::string& name, const Bytes& animation, std::size_t frame) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(fs::exists(work(name)));
    const Bytes bytes = read_bytes(work(name));
    ASSERT_EQ(bytes.size(), 230'454u);
    const auto bmp = parse_bmp24(bytes);
    ASSERT_EQ(bmp.width, 240);
    ASSERT_EQ(bmp.height, 320);
    for (std::size_t k = 0; k < 76'800; ++k) {
      ASSERT_EQ(bmp.pixels[k], rgb565_colour(frame_pixel(animation, frame, k))) << "pixel " << k;
    }
  }

  // The names in the work folder, sorted.
  std::vector<std::string> listing() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(work())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

}  // namespace

// Extraction (letter K)

TEST_F(AnimationTranscript, ExtractionWritesOnePicturePerFrame) {
  Bytes animation = random_animation(2, 11);
  animation[0] = 0xFF;
  animation[1] = 0xFF;
  write_bytes(work("anim.bin"), animation);
  // Words after the source path are not taken as the prefix.
  const auto session = run("K\nanim.bin extra words\nout\nQ\n");
  EXPECT_EQ(session.output, transcript({source_prompt + prefix_prompt}));
  EXPECT_EQ(session.exit_status, 0);
  EXPECT_EQ(listing(), (std::vector<std::string>{"anim.bin", "out0.bmp", "out1.bmp"}));
  expect_frame_picture("out0.bmp", animation, 0);
  expect_frame_picture("out1.bmp", animation, 1);
  EXPECT_EQ(parse_bmp24(read_bytes(work("out0.bmp"))).at(0, 0), (Rgb{248, 252, 248}));
  EXPECT_EQ(
      parse_bmp24(read_bytes(work("out1.bmp"))).at(0, 0),
      rgb565_colour(static_cast<std::uint16_t>(animation[153'600] | animation[153'601] << 8)));
}

TEST_F(AnimationTranscript, ExtractionNumbersFramesWithoutPadding) {
  const Bytes animation = random_animation(12, 12);
  write_bytes(work("anim.bin"), animation);
  fs::create_directory(work("pictures"));
  const auto session = run("k\nanim.bin\npictures/\nq\n");
  EXPECT_EQ(session.output, transcript({source_prompt + prefix_prompt}));
  for (std::size_t frame = 0; frame < 12; ++frame) {
    expect_frame_picture("pictures/" + std::to_string(frame) + ".bmp", animation, frame);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(work("pictures")), {}), 12);
}

TEST_F(AnimationTranscript, ExtractionChecksTheSourceBeforeAskingForThePrefix) {
  struct Case {
    const char* what;
    std::size_t size;
    std::string output;
  };
  const Case cases[] = {
      {"empty", 0, source_prompt + prefix_prompt},
      {"one byte over", frame_size + 1,
       source_prompt + "The file anim.bin isn't the right format.\n"},
      {"one byte short", frame_size - 1,
       source_prompt + "The file anim.bin isn't the right format.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write_bytes(work("anim.bin"), Bytes(c.size, 0x42));
    // After a refusal the prefix line is read as a menu choice, which is invalid.
    const auto session = run("K\nanim.bin\nzz\nQ\n");
    std::vector<std::string> passes{c.output};
    if (c.size != 0) passes.push_back("Invalid choice\n");
    EXPECT_EQ(session.output, transcript(passes));
    EXPECT_EQ(listing(), std::vector<std::string>{"anim.bin"});
  }
}

TEST_F(AnimationTranscript, ExtractionFailuresAreReportedAndTheMenuComesBack) {
  write_bytes(work("anim.bin"), random_animation(2, 13));
  const auto missing_source = run("K\nnone.bin\nQ\n");
  EXPECT_EQ(missing_source.output,
            transcript({source_prompt +
                        "Error during opening/reading/writing of file: ios_base::failbit set\n"}));

  const auto missing_folder = run("K\nanim.bin\nno/such/out\nQ\n");
  EXPECT_EQ(missing_folder.output,
            transcript({source_prompt + prefix_prompt +
                        "Error when operating: Failed to open file 'no/such/out0.bmp' for "
                        "writing.\n"}));
  EXPECT_NE(missing_folder.errors.find("CImgIOException"), std::string::npos);

  // The name is text, never a format for the library's messages.
  const auto percent = run("K\nanim.bin\nno/%s%n%s/\nQ\n");
  EXPECT_EQ(percent.output, transcript({source_prompt + prefix_prompt +
                                        "Error when operating: Failed to open file "
                                        "'no/%s%n%s/0.bmp' for writing.\n"}));
  EXPECT_EQ(listing(), std::vector<std::string>{"anim.bin"});
}

// Saving out0.bmp would replace the animation kept under that name while it is read.
TEST_F(AnimationTranscript, ExtractionNeverReplacesItsSource) {
  const Bytes animation = random_animation(3, 17);
  write_bytes(work("out0.bmp"), animation);
  fs::create_hard_link(work("out0.bmp"), work("pic2.bmp"));
  fs::create_directory(work("sub"));
  for (const std::string picture : {"out0.bmp", "sub/../out0.bmp", "pic2.bmp"}) {
    const auto session = run("K\nout0.bmp\n" + picture.substr(0, picture.size() - 5) + "\nQ\n");
    EXPECT_EQ(session.output, transcript({source_prompt + prefix_prompt + "The picture " + picture +
                                          " would replace the source file out0.bmp: choose "
                                          "another prefix.\n"}));
    EXPECT_EQ(read_bytes(work("out0.bmp")), animation);
    EXPECT_EQ(listing(), (std::vector<std::string>{"out0.bmp", "pic2.bmp", "sub"}));
  }
}

// Creation (letter L)

TEST_F(AnimationTranscript, CreationAppendsOneFramePerPictureInOrder) {
  write_bytes(work("first.bmp"), make_bmp({}, gradient));
  write_bytes(work("white.bmp"), make_bmp({}, white));
  // The words after the target path are discarded, never taken as a picture.
  const auto session = run("L\nanim.bin first.bmp\nfirst.bmp\nwhite.bmp\n\nQ\n");
  EXPECT_EQ(session.output, transcript({target_prompt + picture_prompt(0) + picture_prompt(1) +
                                        picture_prompt(2)}));
  const Bytes animation = read_bytes(work("anim.bin"));
  ASSERT_EQ(animation.size(), 2 * frame_size);
  for (std::size_t k = 0; k < 76'800; ++k) {
    const int x = static_cast<int>(k % 240), y = static_cast<int>(k / 240);
    const Rgb c = gradient(x, y);
    const Rgb kept = {static_cast<std::uint8_t>(c[0] & 0xF8),
                      static_cast<std::uint8_t>(c[1] & 0xFC),
                      static_cast<std::uint8_t>(c[2] & 0xF8)};
    ASSERT_EQ(rgb565_colour(frame_pixel(animation, 0, k)), kept) << "pixel " << k;
  }
  EXPECT_TRUE(std::all_of(animation.begin() + frame_size, animation.end(),
                          [](std::uint8_t b) { return b == 0xFF; }));
}

TEST_F(AnimationTranscript, CreationAsksForTheSameFrameAgainAfterAPictureIsRefused) {
  const Bytes good = make_bmp({}, white);
  write_bytes(work("good.bmp"), good);
  write_bytes(work("my pictures.bmp"), good);
  write_bytes(work("wide.bmp"), make_bmp({320, 240, 24, 40, 0}, white));
  write_bytes(work("packed.bmp"), make_bmp({240, 320, 24, 40, 1}, white));
  write_bytes(work("short.bmp"), Bytes(good.begin(), good.end() - 100));
  Bytes lying = good;
  lying[10] = 0x20;  // pixels said to start inside the headers
  write_bytes(work("lying.bmp"), lying);
  write_bytes(work("text.bmp"), Bytes{'h', 'i', '\n'});
  write_bytes(work("anim.bin"), good);  // an earlier target, a picture itself
  const auto session =
      run("L\nanim.bin\ngood.bmp\n./anim.bin\nnone.bmp\n   "
          "\nwide.bmp\npacked.bmp\nshort.bmp\nlying.bmp\n"
          "text.bmp\nmy pictures.bmp\n\nQ\n");
  EXPECT_EQ(
      session.output,
      transcript(
          {target_prompt + picture_prompt(0) + picture_prompt(1) +
           retry("The file './anim.bin' is the animation being written.") + picture_prompt(1) +
           retry("Failed to open file 'none.bmp' for reading.") + picture_prompt(1) +
           retry("Failed to open file '   ' for reading.") + picture_prompt(1) +
           retry("The picture 'wide.bmp' is 320 x 240 pixels, but a frame needs 240 x 320.") +
           picture_prompt(1) +
           retry("The BMP file 'packed.bmp' is damaged: RLE8 encoding with 24 bits per "
                 "pixel is impossible.") +
           picture_prompt(1) +
           retry("The BMP file 'short.bmp' is damaged: its pixels are said to take 230400 "
                 "bytes from offset 54, after 54 bytes of headers, in a file of 230354 "
                 "bytes.") +
           picture_prompt(1) +
           retry("The BMP file 'lying.bmp' is damaged: its pixels are said to take 230400 "
                 "bytes from offset 32, after 54 bytes of headers, in a file of 230454 "
                 "bytes.") +
           picture_prompt(1) + retry("Invalid BMP file 'text.bmp'.") + picture_prompt(1) +
           picture_prompt(2)}));
  const Bytes animation = read_bytes(work("anim.bin"));
  EXPECT_EQ(animation, Bytes(2 * frame_size, 0xFF));
  EXPECT_NE(session.errors.find("CImgIOException"), std::string::npos);
}

// Pictures in every layout L reads besides 24 and 32 bits, as paint programs and converters
// write them; each frame must be what an independent decoding of the pixels gives.
TEST_F(AnimationTranscript, CreationReadsEveryLayoutToItsExactFrame) {
  using testing_support::bmp_file;
  using testing_support::pixel_rows;
  using testing_support::RunLengthWriter;
  const auto colours = [](int count) {
    std::vector<Rgb> palette;
    for (int i = 0; i < count; ++i)
      palette.push_back({static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i),
                         static_cast<std::uint8_t>(i * 101)});
    return palette;
  };
  // As ImageMagick and ffmpeg widen a component: its value in the top bits of the sample,
  // and for 5 and 6 bits its top bits again below (narrower fields keep zeros below).
  const auto widened = [](std::uint32_t value, std::uint32_t mask) {
    const int bits = std::popcount(mask);
    const std::uint32_t top = (value & mask) >> std::countr_zero(mask) << (8 - bits);
    return static_cast<std::uint8_t>(bits == 5 || bits == 6 ? top | top >> bits : top);
  };
  const auto value_at = [](int x, int y) { return static_cast<std::uint32_t>(x + 240 * y); };
  struct Case {
    std::string name;
    Bytes bmp;
    std::function<Rgb(int, int)> colour;  // what the picture shows at (x, y)
  };
  std::vector<Case> cases;
  const auto add_palette_case = [&](std::string name, BmpFormat format, int indices) {
    const auto index = [indices](int x, int y) {
      return static_cast<std::uint32_t>((x / 3 + y) % indices);
    };
    const auto palette = format.palette;
    cases.push_back({std::move(name), bmp_file(format, pixel_rows(format, index)),
                     [=](int x, int y) { return palette[index(x, y)]; }});
  };
  add_palette_case("1 bit, V4 header", {240, 320, 1, 108, 0, colours(2)}, 2);
  add_palette_case("4 bits, V5 header", {240, 320, 4, 124, 0, colours(16)}, 16);
  add_palette_case("8 bits from the top", {240, -320, 8, 40, 0, colours(256)}, 256);
  add_palette_case("8 bits, a palette of 20 colours", {240, 320, 8, 40, 0, colours(20)}, 20);
  add_palette_case("4 bits, a palette of 5 colours", {240, -320, 4, 40, 0, colours(5)}, 5);
  add_palette_case("8 bits, OS/2 1.x header", {240, 320, 8, 12, 0, colours(256)}, 256);
  const auto add_fields_case = [&](std::string name, BmpFormat format,
                                   std::array<std::uint32_t, 3> masks) {
    const std::uint32_t pixel_mask = 0xFFFFFFFF >> (32 - format.bits);
    const auto value = [=](int x, int y) {
      return value_at(x, y) * (format.bits == 16 ? 1 : 2654435761u) & pixel_mask;
    };
    cases.push_back(
        {std::move(name), bmp_file(format, pixel_rows(format, value)), [=](int x, int y) {
           return Rgb{widened(value(x, y), masks[0]), widened(value(x, y), masks[1]),
                      widened(value(x, y), masks[2])};
         }});
  };
  const std::array<std::uint32_t, 3> rgb565 = {0xF800, 0x07E0, 0x001F};
  // 16-bit pixel k holds k modulo 65,536: X1R5G5B5 with every 15-bit value, the top bit clear
  // and set.
  const std::size_t x1r5g5b5 = cases.size();
  add_fields_case("16 bits X1R5G5B5", {240, 320, 16, 40, 0}, {0x7C00, 0x03E0, 0x001F});
  add_fields_case("16 bits R5G6B5, V5 header, from the top", {240, -320, 16, 124, 3, {}, rgb565},
                  rgb565);
  add_fields_case("16 bits R4G4B4", {240, 320, 16, 40, 3, {}, {0x0F00, 0x00F0, 0x000F}},
                  {0x0F00, 0x00F0, 0x000F});
  add_fields_case("24 bits, OS/2 1.x header", {240, 320, 24, 12, 0}, {0xFF0000, 0xFF00, 0xFF});
  add_fields_case("32 bits, red in the low byte",
                  {240, 320, 32, 108, 3, {}, {0xFF, 0xFF00, 0xFF0000}}, {0xFF, 0xFF00, 0xFF0000});
  // Every 16-bit value, pixel k holding k modulo 65,536: the frame holds the values themselves.
  const BmpFormat every_value{240, 320, 16, 40, 3, {}, rgb565};
  cases.push_back(
      {"16 bits R5G6B5, every value",
       bmp_file(every_value,
                pixel_rows(every_value, [&](int x, int y) { return value_at(x, y) & 0xFFFF; })),
       [&](int x, int y) { return rgb565_colour(value_at(x, y) & 0xFFFF); }});
  for (const auto& [bits, header] : {std::pair{8, 40u}, {4, 40u}, {8, 64u}}) {
    // Runs, a literal, a move over rows and along one, and an end of the picture at row 150.
    RunLengthWriter rle(bits);
    for (int row = 0; row < 150; ++row) {
      int x = 0;
      if (row == 0) {
        rle.literal({1, 2, 3, 4, 5, 6, 7});
        x = 7;
      }
      if (row == 5) {
        rle.run(100, 3, 9);
        rle.move(40, 2);  // skips the rest of row 5, row 6 and 140 pixels of row 7
        row += 2;
        x = 140;
      }
      for (; x < 240; x += 60) rle.run(std::min(60, 240 - x), (x / 60 + row) % 16, row % 16);
      rle.end_row();
    }
    rle.end_picture();
    const auto palette = colours(16);
    cases.push_back({"RLE" + std::to_string(bits) + " with a move and an early end, header of " +
                         std::to_string(header) + " bytes",
                     bmp_file({240, 320, static_cast<std::uint16_t>(bits), header,
                               bits == 8 ? 1u : 2u, palette},
                              rle.data()),
                     [=](int x, int y) { return palette[rle.index_at(x, y)]; }});
  }

  std::string input = "L\nanim.bin\n";
  std::string prompts = target_prompt;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    write_bytes(work("p" + std::to_string(i) + ".bmp"), cases[i].bmp);
    input += "p" + std::to_string(i) + ".bmp\n";
    prompts += picture_prompt(static_cast<int>(i));
  }
  const auto session = run(input + "\nQ\n");
  EXPECT_EQ(session.output, transcript({prompts + picture_prompt(static_cast<int>(cases.size()))}));
  const Bytes animation = read_bytes(work("anim.bin"));
  ASSERT_EQ(animation.size(), cases.size() * frame_size);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    for (std::size_t k = 0; k < 76'800; ++k) {
      const Rgb c = cases[i].colour(static_cast<int>(k % 240), static_cast<int>(k / 240));
      const auto expected =
          static_cast<std::uint16_t>((c[0] & 0xF8) << 8 | (c[1] & 0xFC) << 3 | c[2] >> 3);
      ASSERT_EQ(frame_pixel(animation, i, k), expected) << "pixel " << k;
    }
  }
  EXPECT_EQ(frame_pixel(animation, x1r5g5b5, 0x7FFF),
            0xFFFF);  // X1R5G5B5 white, as both tools give
}

TEST_F(AnimationTranscript, CreationWithNoPictureLeavesAnEmptyFile) {
  write_bytes(work("anim.bin"), random_animation(3, 14));
  const auto session = run("L\nanim.bin\n\nQ\n");
  EXPECT_EQ(session.output, transcript({target_prompt + picture_prompt(0)}));
  EXPECT_EQ(fs::file_size(work("anim.bin")), 0u);
}

TEST_F(AnimationTranscript, EndOfInputAtThePicturePromptKeepsTheFramesGiven) {
  write_bytes(work("white.bmp"), make_bmp({}, white));
  const auto session = run("L\nanim.bin\nwhite.bmp\n", {}, std::chrono::seconds(5));
  EXPECT_FALSE(session.timed_out);
  EXPECT_EQ(session.exit_status, 0);
  EXPECT_EQ(session.output, transcript({target_prompt + picture_prompt(0) + picture_prompt(1)}));
  EXPECT_EQ(read_bytes(work("anim.bin")), Bytes(frame_size, 0xFF));
}

TEST_F(AnimationTranscript, CreationTargetFailuresAreStreamFailures) {
  write_bytes(work("white.bmp"), make_bmp({}, white));
  const auto missing_folder = run("L\nno/anim.bin\nQ\n");
  EXPECT_EQ(missing_folder.output,
            transcript({target_prompt + "The folder of the file 'no/anim.bin' does not exist.\n" +
                        "Error during opening/reading/writing of file: ios_base::failbit set\n"}));
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no full device here";
  const auto full = run("L\n/dev/full\nwhite.bmp\nQ\n");
  EXPECT_EQ(full.output,
            transcript({target_prompt + picture_prompt(0) +
                        "Error during opening/reading/writing of file: ios_base::badbit set\n"}));
}

TEST_F(AnimationTranscript, TheNameDashIsAFileNotTheConsole) {
  // Neither action may read pictures from standard input or write them to standard output.
  const Bytes animation = random_animation(1, 16);
  write_bytes(work("anim.bin"), animation);
  const auto session = run("K\nanim.bin\n-.\nL\ncopy.bin\n-\n-.0.bmp\n\nQ\n");
  EXPECT_EQ(session.output, transcript({source_prompt + prefix_prompt,
                                        target_prompt + picture_prompt(0) +
                                            retry("Failed to open file '-' for reading.") +
                                            picture_prompt(0) + picture_prompt(1)}));
  expect_frame_picture("-.0.bmp", animation, 0);
  EXPECT_EQ(read_bytes(work("copy.bin")), animation);
}

// Both ways

TEST_F(AnimationTranscript, ExtractingThenCreatingReproducesTheAnimation) {
  const Bytes animation = random_animation(11, 15);
  write_bytes(work("anim.bin"), animation);
  std::string input = "K\nanim.bin\nframe\nL\ncopy.bin\n";
  std::string creation = target_prompt;
  for (int frame = 0; frame < 11; ++frame) {
    input += "frame" + std::to_string(frame) + ".bmp\n";
    creation += picture_prompt(frame);
  }
  creation += picture_prompt(11);
  const auto session = run(input + "\nQ\n");
  EXPECT_EQ(session.output, transcript({source_prompt + prefix_prompt, creation}));
  EXPECT_EQ(read_bytes(work("copy.bin")), animation);
}
