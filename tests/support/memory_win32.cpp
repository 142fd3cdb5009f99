// psapi.h uses the types of windows.h without including it.
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on

#include "tests/support/memory.hpp"

namespace testing_support {

std::uint64_t peak_memory_bytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

}  // namespace testing_support
