#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/console.hpp"

namespace platform {

void drop_typed_ahead_input() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  // GetConsoleMode succeeds only on a real console, not on a redirected input.
  if (input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode)) FlushConsoleInputBuffer(input);
}

void prepare_console_output() {
  _setmode(_fileno(stdout), _O_TEXT);
}

}  // namespace platform
