#include "shell/failure.hpp"
#include "transfer/actions.hpp"

void restart_phone() {
  fail("This action is not available yet");
}
