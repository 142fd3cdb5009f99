// What the console needs from the platform beyond the standard streams.
#pragma once

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
class ConsolePathCodePage {
 public:
  ConsolePathCodePage();
  ~ConsolePathCodePage();
  ConsolePathCodePage(const ConsolePathCodePage&) = delete;
  ConsolePathCodePage& operator=(const ConsolePathCodePage&) = delete;
};

}  // namespace platform
