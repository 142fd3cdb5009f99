#include "shell/failure.hpp"
#include "transfer/actions.hpp"

void extended_transfer() {
  fail("This action is not available yet");
}
