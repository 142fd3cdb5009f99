// The bytes the program writes on standard output, before the transcript helpers drop the
// CR of each CR LF. A Windows console program writes its output in text mode, so every
// line end is CR LF there and LF alone elsewhere: this test differs on Windows by design,
// and the build tells it which line end the platform's program writes (KORVANTA_LINE_END).
#include <gtest/gtest.h>

#include "tests/support/process.hpp"
#include "tests/support/transcript.hpp"

namespace {

using namespace testing_support;

std::string with_platform_line_ends(const std::string& text) {
  std::string converted;
  for (const char c : text) {
    if (c == '\n') {
      converted += KORVANTA_LINE_END;
    } else {
      converted += c;
    }
  }
  return converted;
}

}  // namespace

TEST(ConsoleOutput, EveryLineEndIsThePlatformsOwnAndNothingElseChanges) {
  struct Case {
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"Q\n", transcript({})},
      {"W\r\nq\r\n", transcript({"Invalid choice\n"})},
      {"w\n1\n", transcript({"Invalid choice\n", "Invalid choice\n"})},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.input);
    ScratchFolder scratch;
    write_text(scratch / "input.txt", test.input);
    testing_support::ProcessRequest request;
    request.program = built_program().string();
    request.folder = scratch.path().string();
    request.input_file = (scratch / "input.txt").string();
    request.output_file = (scratch / "output.txt").string();
    request.error_file = (scratch / "errors.txt").string();
    const testing_support::ProcessOutcome outcome = testing_support::run_process(request);
    EXPECT_FALSE(outcome.timed_out);
    EXPECT_EQ(outcome.exit_status, 0) << outcome.failure;
    EXPECT_EQ(read_text(scratch / "output.txt"), with_platform_line_ends(test.expected));
    EXPECT_EQ(read_text(scratch / "errors.txt"), "");
  }
}
