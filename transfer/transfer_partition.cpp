#include "shell/failure.hpp"
#include "transfer/actions.hpp"

void transfer_partition(std::uint32_t, std::uint32_t, bool, bool) {
  fail("This action is not available yet");
}
