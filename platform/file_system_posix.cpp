#include <sys/stat.h>

#include "platform/file_system.hpp"

namespace platform {

std::filesystem::path typed_path(const std::string& typed) {
  return std::filesystem::path(typed);
}

std::optional<FileIdentity> file_identity(const std::string& typed) {
  struct stat status {};
  if (typed.empty() || ::stat(typed.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev), 0,
                      static_cast<std::uint64_t>(status.st_ino)};
}

bool names_irregular_file(const std::string& typed) {
  struct stat status {};
  return ::stat(typed.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

bool names_device(const std::string&) {
  return false;
}

}  // namespace platform
