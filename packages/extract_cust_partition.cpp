#include "packages/actions.hpp"
#include "shell/failure.hpp"

void extract_cust_partition() {
  fail("This action is not available yet");
}
