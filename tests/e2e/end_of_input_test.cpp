// The end of standard input at every prompt of every action: the program ends with
// status 0 at once, never waits and never runs a choice again.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/transcript.hpp"

using testing_support::Bytes;
using testing_support::put_le;
using testing_support::TranscriptTest;
using testing_support::write_bytes;

namespace {

// A 240 x 320 picture of 24-bit colour, bottom-up rows, as the animation tools expect.
Bytes small_picture() {
  constexpr int width = 240, height = 320, row = width * 3;
  Bytes bmp{'B', 'M'};
  put_le(bmp, 54 + row * height, 4);
  put_le(bmp, 0, 4);
  put_le(bmp, 54, 4);
  put_le(bmp, 40, 4);
  put_le(bmp, width, 4);
  put_le(bmp, height, 4);
  put_le(bmp, 1, 2);
  put_le(bmp, 24, 2);
  for (int field = 0; field < 6; ++field) put_le(bmp, 0, 4);
  for (int i = 0; i < row * height; ++i) bmp.push_back(static_cast<std::uint8_t>(i * 7));
  return bmp;
}

struct ActionScript {
  const char* choice;
  std::vector<std::string> answers;  // what a technician types at its prompts, in order
};

const std::string port = "\\\\.\\USB1";

// Answers that lead each action as far as it goes with the stand-ins and the files of
// the work folder.
const ActionScript scripts[] = {
    {"A", {port, "secpack.fls", "data.bin"}},
    {"b", {port, "secpack.fls", "backup.bin"}},
    {"C", {port, "secpack.fls", "data.bin"}},
    {"D", {port, "secpack.fls", "backup.bin"}},
    {"E", {port, "secpack.fls", "data.bin"}},
    {"F", {port, "secpack.fls", "backup.bin"}},
    {"G", {"cust.dfat", "cust.fat"}},
    {"H", {"Inf_WebDnld.dll", "firmware.wdb", "V10G_04"}},
    {"I", {"firmware.kdz"}},
    {"J", {"KS360", "firmware.cab", "V10G_04"}},
    {"K", {"animation.bin", "frame"}},
    {"L", {"built.bin", "picture.bmp", "missing.bmp", "picture.bmp", ""}},
    {"m", {"c", "n", "z", "8000000", "eb1400", "y", "n", "n", port, "secpack.fls", "range.bin"}},
    {"N", {port, "secpack.fls", "data.bin"}},
    {"O", {port, "secpack.fls", "backup.bin"}},
    {"V", {port, "secpack.fls"}},
    {"X", {port, "secpack.fls", "exec.bin"}},
};

std::size_t menu_passes(const std::string& output) {
  std::size_t passes = 0;
  for (std::size_t at = output.find("Choice: "); at != std::string::npos;
       at = output.find("Choice: ", at + 1)) {
    ++passes;
  }
  return passes;
}

class EndOfInput : public TranscriptTest {
 protected:
  EndOfInput() {
    install_every_standin();
    write_bytes(work("secpack.fls"), Bytes(4096, 0x5a));
    write_bytes(work("data.bin"), Bytes(2048 * 4, 0xa5));
    write_bytes(work("exec.bin"), Bytes(512, 0x11));
    write_bytes(work("cust.dfat"), Bytes(64, 0));
    write_bytes(work("animation.bin"), Bytes(153600, 0x42));
    write_bytes(work("picture.bmp"), small_picture());
  }
};

}  // namespace

TEST_F(EndOfInput, AtEveryPromptOfEveryActionTheProgramEndsAtOnce) {
  for (const ActionScript& script : scripts) {
    std::string typed = std::string(script.choice) + "\n";
    for (std::size_t answered = 0; answered <= script.answers.size(); ++answered) {
      // Input ending on a line end, then input ending inside the next answer.
      std::vector<std::string> inputs{typed};
      if (answered < script.answers.size() && !script.answers[answered].empty()) {
        inputs.push_back(typed + script.answers[answered]);
      }
      for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        const auto session = run(input, {}, std::chrono::seconds(1));
        EXPECT_FALSE(session.timed_out);
        // One "Choice: " per line typed at most, and the one that met the end of input.
        const auto lines = std::count(input.begin(), input.end(), '\n') + (input.back() != '\n');
        EXPECT_LE(menu_passes(session.output), static_cast<std::size_t>(lines) + 1)
            << session.output;
      }
      if (answered < script.answers.size()) typed += script.answers[answered] + "\n";
    }
  }
}
