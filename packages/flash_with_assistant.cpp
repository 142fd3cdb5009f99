#include "packages/actions.hpp"
#include "shell/failure.hpp"

void flash_with_assistant() {
  fail("This action is not available yet");
}
