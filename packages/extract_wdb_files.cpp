#include "packages/actions.hpp"
#include "shell/failure.hpp"

void extract_wdb_files() {
  fail("This action is not available yet");
}
