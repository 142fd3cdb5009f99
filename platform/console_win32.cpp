#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

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

}  // namespace

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
