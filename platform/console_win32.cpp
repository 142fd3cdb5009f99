#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/console.hpp"

namespace platform {
namespace {

// The console's own code pages, while the program has switched them.
UINT saved_input_code_page = 0;
UINT saved_output_code_page = 0;
bool switched = false;
LPTOP_LEVEL_EXCEPTION_FILTER previous_crash_filter = nullptr;

void restore_code_pages() {
  if (!switched) return;
  switched = false;
  SetConsoleCP(saved_input_code_page);
  SetConsoleOutputCP(saved_output_code_page);
}

// Ctrl+C, Ctrl+Break and closing the window end the program in the system's default
// handler, which runs no exit functions.
BOOL WINAPI on_console_event(DWORD) {
  restore_code_pages();
  return FALSE;
}

LONG WINAPI on_crash(EXCEPTION_POINTERS* exception) {
  restore_code_pages();
  return previous_crash_filter ? previous_crash_filter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

// Gives the program the same text that the C runtime's reading of the console in bytes
// gives where that works: one read at a time, line ends as LF, nothing from a Ctrl+Z on.
class WideConsoleInput final : public std::streambuf {
 public:
  WideConsoleInput(std::function<std::wstring()> read, UINT code_page)
      : read_(std::move(read)), code_page_(code_page) {}

 private:
  int_type underflow() override {
    while (gptr() == egptr() && !ended_) take_next_read();
    return gptr() == egptr() ? traits_type::eof() : traits_type::to_int_type(*gptr());
  }

  void take_next_read() {
    std::wstring typed = read_();
    while (!typed.empty() && IS_HIGH_SURROGATE(typed.back())) {
      const std::wstring rest = read_();
      if (rest.empty()) break;
      typed += rest;
    }
    const std::size_t end_of_input = typed.find(L'\x1a');
    if (typed.empty() || end_of_input != std::wstring::npos) ended_ = true;
    typed.resize(std::min(typed.size(), end_of_input));
    for (std::size_t at = typed.find(L"\r\n"); at != std::wstring::npos;
         at = typed.find(L"\r\n", at)) {
      typed.erase(at, 1);
    }
    const int length = static_cast<int>(typed.size());
    text_.resize(
        WideCharToMultiByte(code_page_, 0, typed.data(), length, nullptr, 0, nullptr, nullptr));
    WideCharToMultiByte(code_page_, 0, typed.data(), length, text_.data(),
                        static_cast<int>(text_.size()), nullptr, nullptr);
    setg(text_.data(), text_.data(), text_.data() + text_.size());
  }

  std::function<std::wstring()> read_;
  UINT code_page_;
  std::string text_;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<std::streambuf> wide_console_input(std::function<std::wstring()> read,
                                                   unsigned code_page) {
  return std::make_unique<WideConsoleInput>(std::move(read), code_page);
}

void drop_typed_ahead_input() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  // GetConsoleMode succeeds only on a real console, not on a redirected input.
  if (input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode)) FlushConsoleInputBuffer(input);
}

void prepare_console_output() {
  _setmode(_fileno(stdout), _O_TEXT);
}

ConsolePathCodePage::ConsolePathCodePage() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) return;
  const UINT ansi = GetACP();
  if (ansi == CP_UTF8) {
    // conhost's ReadFile gives 0 for each non-ASCII character there (Microsoft's terminal
    // issue 4551); its UTF-16 is converted to the ANSI page itself. The reader is never
    // freed: standard input may be read until exit.
    std::cin.rdbuf(wide_console_input(
                       [input] {
                         wchar_t typed[1024];
                         DWORD count = 0;
                         if (!ReadConsoleW(input, typed, 1024, &count, nullptr)) count = 0;
                         return std::wstring(typed, count);
                       },
                       CP_UTF8)
                       .release());
  }
  saved_input_code_page = GetConsoleCP();
  saved_output_code_page = GetConsoleOutputCP();
  if (saved_input_code_page == ansi && saved_output_code_page == ansi) return;
  switched = true;
  std::atexit(restore_code_pages);
  SetConsoleCtrlHandler(on_console_event, TRUE);
  previous_crash_filter = SetUnhandledExceptionFilter(on_crash);
  SetConsoleCP(ansi);
  SetConsoleOutputCP(ansi);
}

ConsolePathCodePage::~ConsolePathCodePage() {
  restore_code_pages();
}

}  // namespace platform
