#include "shell/failure.hpp"
#include "transfer/actions.hpp"

void boot_executable() {
  fail("This action is not available yet");
}
