// Typed text where the ANSI code page is UTF-8: there the console's reading in bytes gives
// 0 for each non-ASCII character typed, so the program reads the console in UTF-16. The
// reads are fed as the console gives them, converted in the UTF-8 page whatever page wine
// has. Windows build only.
#include <gtest/gtest.h>
#include <windows.h>

#include <deque>
#include <istream>
#include <string>
#include <vector>

#include "platform/console.hpp"

namespace {

struct TypedLines {
  const char* what;
  std::deque<std::wstring> reads;
  std::vector<std::string> lines;
};

}  // namespace

TEST(WideConsoleInput, TypedNamesReachTheProgramInTheUtf8CodePage) {
  const std::vector<TypedLines> cases = {
      {"a name with \xc3\xa9", {L"pic\u00e9.bmp\r\n"}, {"pic\xc3\xa9.bmp"}},
      {"a folder and a name with letters of two bytes",
       {L"L\r\n", L"Z:\\Stra\u00dfe\\\u0441\u0442\u0430\u0440\u044b\u0439.bin\r\n"},
       {"L",
        "Z:\\Stra\xc3\x9f"
        "e\\\xd1\x81\xd1\x82\xd0\xb0\xd1\x80\xd1\x8b\xd0\xb9.bin"}},
      {"a character beyond 16 bits, its halves in two reads",
       {L"a\xd83d", L"\xde00.bin\r\n"},
       {"a\xf0\x9f\x98\x80.bin"}},
      {"a Ctrl+Z line ends the input", {L"last\r\n", L"\x1a\r\n", L"never\r\n"}, {"last"}},
      {"the end of the console's input", {L"only\r\n"}, {"only"}},
  };
  for (const TypedLines& typed : cases) {
    std::deque<std::wstring> reads = typed.reads;
    const auto console = platform::wide_console_input(
        [&reads] {
          if (reads.empty()) return std::wstring();
          std::wstring next = reads.front();
          reads.pop_front();
          return next;
        },
        CP_UTF8);
    std::istream input(console.get());
    std::vector<std::string> lines;
    for (std::string line; std::getline(input, line);) lines.push_back(line);
    EXPECT_EQ(lines, typed.lines) << typed.what;
  }
}
