#include <termios.h>
#include <unistd.h>

#include "platform/console.hpp"

namespace platform {

void drop_typed_ahead_input() {
  if (isatty(STDIN_FILENO)) tcflush(STDIN_FILENO, TCIFLUSH);
}

void prepare_console_output() {}

}  // namespace platform
