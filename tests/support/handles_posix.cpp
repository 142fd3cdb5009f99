#include <filesystem>
#include <iterator>
#include <system_error>

#include "tests/support/handles.hpp"

namespace testing_support {

std::optional<long> open_handle_count() {
  std::error_code error;
  std::filesystem::directory_iterator descriptors("/proc/self/fd", error);
  if (error) return std::nullopt;
  return static_cast<long>(std::distance(descriptors, std::filesystem::directory_iterator()));
}

}  // namespace testing_support
