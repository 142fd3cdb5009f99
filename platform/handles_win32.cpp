#include <windows.h>

#include "platform/handles.hpp"

namespace platform {

std::optional<long> open_handle_count() {
  DWORD count = 0;
  if (!GetProcessHandleCount(GetCurrentProcess(), &count)) return std::nullopt;
  return static_cast<long>(count);
}

}  // namespace platform
