#include <sys/stat.h>

#include <ctime>

#include "platform/file_system.hpp"

namespace platform {

std::filesystem::path typed_path(const std::string& typed) {
  return std::filesystem::path(typed);
}

std::optional<FileIdentity> file_identity(const std::string& typed) {
  struct stat status {};
  if (typed.empty() || ::stat(typed.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{
      static_cast<std::uint64_t>(status.st_dev), 0, static_cast<std::uint64_t>(status.st_ino), {}};
}

bool names_irregular_file(const std::string& typed) {
  struct stat status {};
  return ::stat(typed.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

std::size_t leaf_start(const std::string& name) {
  const auto separator = name.rfind('/');
  return separator == std::string::npos ? 0 : separator + 1;
}

std::string local_time_stamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  char text[32];
  localtime_r(&now, &local);
  return std::string(text, std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local));
}

bool names_device(const std::string&) {
  return false;
}

}  // namespace platform
