#include <gtest/gtest.h>

#include "tests/support/transcript.hpp"

using testing_support::transcript;
using testing_support::TranscriptTest;

namespace {

const std::string invalid = "Invalid choice\n";

class ShellTranscript : public TranscriptTest {};

}  // namespace

TEST_F(ShellTranscript, QuitInEitherCaseEndsWithStatusZero) {
  for (const std::string input : {"Q\n", "q\n", "\n\n   \t q\n", "q and more\n"}) {
    SCOPED_TRACE(input);
    const auto session = run(input);
    EXPECT_EQ(session.output, transcript({}));
    EXPECT_EQ(session.exit_status, 0);
  }
}

TEST_F(ShellTranscript, UnknownChoicesAreRefusedAndTheMenuComesBack) {
  const auto session = run("W\nz\n1\n?\nQ\n");
  EXPECT_EQ(session.output, transcript({invalid, invalid, invalid, invalid}));
  EXPECT_EQ(session.exit_status, 0);
}

TEST_F(ShellTranscript, OnlyTheFirstCharacterOfALineIsTheChoice) {
  // "wq" chooses W; its "q" is discarded before the next choice is read.
  const auto session = run("wq\nq\n");
  EXPECT_EQ(session.output, transcript({invalid}));
}

TEST_F(ShellTranscript, TheEndOfInputEndsTheProgramAsQuitDoes) {
  for (const std::string input : {"", "\n\n", "w", "w\nz"}) {
    SCOPED_TRACE(input);
    const auto session = run(input, {}, std::chrono::seconds(5));
    EXPECT_FALSE(session.timed_out);
    EXPECT_EQ(session.exit_status, 0);
    std::vector<std::string> passes(
        std::count(input.begin(), input.end(), 'w') + std::count(input.begin(), input.end(), 'z'),
        invalid);
    EXPECT_EQ(session.output, transcript(passes));
  }
}
