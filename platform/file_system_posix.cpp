#include "platform/file_system.hpp"

namespace platform {

std::filesystem::path typed_path(const std::string& typed) {
  return std::filesystem::path(typed);
}

}  // namespace platform
