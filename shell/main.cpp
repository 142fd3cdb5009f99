#include "platform/console.hpp"
#include "shell/menu.hpp"

int main() {
  platform::prepare_console_output();
  const platform::ConsolePathCodePage path_code_page;
  return run_menu();
}
