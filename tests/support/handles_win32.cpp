#include <windows.h>

#include "tests/support/handles.hpp"

namespace testing_support {

std::optional<long> open_handle_count() {
  DWORD count = 0;
  if (!GetProcessHandleCount(GetCurrentProcess(), &count)) return std::nullopt;
  return static_cast<long>(count);
}

}  // namespace testing_support
