#include <filesystem>
#include <iterator>
#include <system_error>

#include "platform/handles.hpp"

namespace platform {

std::optional<long> open_handle_count() {
  std::error_code error;
  std::filesystem::directory_iterator descriptors("/proc/self/fd", error);
  if (error) return std::nullopt;
  return static_cast<long>(std::distance(descriptors, std::filesystem::directory_iterator()));
}

}  // namespace platform
