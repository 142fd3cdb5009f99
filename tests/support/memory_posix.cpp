#include <sys/resource.h>

#include "tests/support/memory.hpp"

namespace testing_support {

std::uint64_t peak_memory_bytes() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // reported in KiB
}

}  // namespace testing_support
