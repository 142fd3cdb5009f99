#include "platform/console.hpp"
#include "shell/menu.hpp"

int main() {
  platform::prepare_console_output();
  return run_menu();
}
