#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include "platform/console.hpp"

namespace platform {

void drop_typed_ahead_input() {
  if (isatty(STDIN_FILENO)) tcflush(STDIN_FILENO, TCIFLUSH);
}

void prepare_console_output() {
  ::signal(SIGPIPE, SIG_IGN);
}

// A POSIX terminal hands over the same bytes that the file functions take.
ConsolePathCodePage::ConsolePathCodePage() = default;
ConsolePathCodePage::~ConsolePathCodePage() = default;

}  // namespace platform
