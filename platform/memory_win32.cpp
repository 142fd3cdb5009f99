#include <psapi.h>
#include <windows.h>

#include "platform/memory.hpp"

namespace platform {

std::uint64_t peak_memory_bytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

}  // namespace platform
