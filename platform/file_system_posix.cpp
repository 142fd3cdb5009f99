#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

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

bool replace_file(const std::string& from, const std::string& to) {
  const int file = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return false;
  const bool on_disk = ::fsync(file) == 0;
  ::close(file);
  return on_disk && std::rename(from.c_str(), to.c_str()) == 0;
}

bool names_device(const std::string&) {
  return false;
}

}  // namespace platform
