// The end of standard input at every prompt of every action: the program ends with
// status 0 at once, never waits and never runs a choice again.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/action_files.hpp"
#include "tests/support/transcript.hpp"

using testing_support::TranscriptTest;

namespace {

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
    testing_support::write_action_files(work());
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
        // Once every answer is in, the action does its whole work before the menu meets the
        // end of input (a ROOT backup moves 190 MB): only then may the run take longer.
        const bool all_answered = answered + (input != typed) == script.answers.size();
        const auto session = run(input, {{"KORVANTA_VIRTUAL_PHONE", work("flash").string()}},
                                 all_answered ? std::chrono::seconds(60) : std::chrono::seconds(1));
        // One "Choice: " per line typed at most, and the one that met the end of input.
        const auto lines = std::count(input.begin(), input.end(), '\n') + (input.back() != '\n');
        EXPECT_LE(menu_passes(session.output), static_cast<std::size_t>(lines) + 1)
            << session.output;
      }
      if (answered < script.answers.size()) typed += script.answers[answered] + "\n";
    }
  }
}
