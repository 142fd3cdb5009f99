#include "shell/console.hpp"

#include <gtest/gtest.h>

#include "shell/failure.hpp"
#include "tests/support/scripted_console.hpp"

namespace {

// Feeds the console readers from a string instead of the real standard input.
class ConsoleInput : public ::testing::Test {
 protected:
  void feed(const std::string& text) { console_.feed(text); }

 private:
  testing_support::ScriptedConsole console_;
};

}  // namespace

TEST_F(ConsoleInput, ReadCharSkipsBlanksAndDiscardsTheRestOfItsLine) {
  feed("\n\n   Ab c\n  x\n");
  EXPECT_EQ(read_char(), 'A');
  EXPECT_EQ(read_char(), 'x');
  EXPECT_THROW(read_char(), EndOfInput);
}

TEST_F(ConsoleInput, ReadLineKeepsBlanksAndTakesEmptyLines) {
  feed("q rest\n  C:\\My Files\\a b.bin  \n\nlast");
  EXPECT_EQ(read_char(), 'q');
  EXPECT_EQ(read_line(), "  C:\\My Files\\a b.bin  ");
  EXPECT_EQ(read_line(), "");
  EXPECT_EQ(read_line(), "last");
  EXPECT_THROW(read_line(), EndOfInput);
}

TEST_F(ConsoleInput, ReadWordSkipsEmptyLinesAndStopsAtWhiteSpace) {
  feed("\n\n  first.bin second\n\tthird\n");
  EXPECT_EQ(read_word(), "first.bin");
  EXPECT_EQ(read_word(), "third");
  EXPECT_THROW(read_word(), EndOfInput);
}

TEST_F(ConsoleInput, ReadAfterAWholeLineDiscardsNothing) {
  feed("one\ntwo words\nthree\n");
  EXPECT_EQ(read_line(), "one");
  EXPECT_EQ(read_word(), "two");
  EXPECT_EQ(read_line(), "three");
}

TEST_F(ConsoleInput, HexNumbersInEveryAcceptedSpelling) {
  feed("2b800\n0x2B800 tail\n  2B800\n-1\n+7fffffff\n-80000000\n");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(read_hex_number(), 0x2b800);
  EXPECT_EQ(read_hex_number(), -1);
  EXPECT_EQ(read_hex_number(), 0x7fffffff);
  EXPECT_EQ(read_hex_number(), INT32_MIN);
  EXPECT_THROW(read_hex_number(), EndOfInput);
}

TEST_F(ConsoleInput, HexNumbersThatDoNotParseLeaveTheInputUsable) {
  feed("zz\n100000000\nabc\n");
  EXPECT_EQ(read_hex_number(), std::nullopt);
  EXPECT_EQ(read_hex_number(), std::nullopt);
  EXPECT_EQ(read_hex_number(), 0xabc);
}

TEST(Console, YesAnswers) {
  for (const char yes : {'Y', 'y', 'O', 'o', '1'}) EXPECT_TRUE(is_yes(yes)) << yes;
  for (const char no : {'N', 'n', '0', '2', 'Z', ' ', '\0'}) EXPECT_FALSE(is_yes(no)) << no;
}
