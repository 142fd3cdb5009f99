#include "packages/actions.hpp"
#include "shell/failure.hpp"

void extract_kdz_files() {
  fail("This action is not available yet");
}
