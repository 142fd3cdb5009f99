#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/positioned_file.hpp"

namespace platform {

PositionedFile::PositionedFile(const std::string& path)
    : handle_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

PositionedFile::~PositionedFile() {
  if (is_open()) ::close(static_cast<int>(handle_));
}

std::optional<std::size_t> PositionedFile::read_at(std::uint64_t offset, char* data,
                                                   std::size_t size) {
  if (!is_open()) return std::nullopt;
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(static_cast<int>(handle_), data + done, size - done,
                                static_cast<off_t>(offset + done));
    if (got == 0) break;  // the end of the file
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    done += static_cast<std::size_t>(got);
  }
  return done;
}

}  // namespace platform
