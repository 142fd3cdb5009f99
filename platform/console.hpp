// What the console needs from the platform beyond the standard streams.
#pragma once

#include <functional>
#include <memory>
#include <streambuf>
#include <string>

namespace platform {

// When standard input is an interactive console, drops whatever the user typed ahead
// that the program has not read yet (the platform's own input flush). Does nothing
// when standard input is a pipe or a file, whose lines are all meant to be read.
void drop_typed_ahead_input();

// Puts standard output in the mode a console program of this platform writes in. On POSIX
// a write that nobody reads (a pipe whose reader quit) fails instead of ending the program
// by SIGPIPE, as it fails on Windows: a phone session is never ended in the middle.
void prepare_console_output();

// While it lives, an interactive console that standard input reads from takes typed text,
// and shows output, in the code page in which the platform's file functions and the
// vendor's libraries read 8-bit paths (on Windows the ANSI code page, where a console
// otherwise hands over its OEM code page and a typed "é" names another file). Its code
// pages are put back when it ends, and when the program ends in any other way it can see
// (exit, Ctrl+C, closing the window, a crash). Redirected input stays byte for byte.
// Where that code page is UTF-8 (Windows 10 and 11's "Beta: Use Unicode UTF-8"), the
// console's reading in bytes gives 0 for each non-ASCII character typed: typed text is then
// read in UTF-16 (wide_console_input).
class ConsolePathCodePage {
 public:
  ConsolePathCodePage();
  ~ConsolePathCodePage();
  ConsolePathCodePage(const ConsolePathCodePage&) = delete;
  ConsolePathCodePage& operator=(const ConsolePathCodePage&) = delete;
};

// Windows: typed text as a console hands it over in UTF-16, `read` giving what one read of
// the console gives (nothing at the end of input), as bytes in `code_page`, the way the C
// runtime hands over a console read in bytes: CR LF becomes LF, and a Ctrl+Z ends the
// input. A character that comes in two reads (a surrogate pair) is taken whole.
std::unique_ptr<std::streambuf> wide_console_input(std::function<std::wstring()> read,
                                                   unsigned code_page);

}  // namespace platform
