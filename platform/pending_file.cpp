// What a pending file does the same way on every platform; the rest is in
// pending_file_<platform>.cpp.
#include "platform/pending_file.hpp"

#include <utility>

namespace platform {

PendingFile::~PendingFile() {
  close();
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : handle_(other.handle_), name_(std::move(other.name_)), claimed_(other.claimed_) {
  other.handle_ = closed;
}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    name_ = std::move(other.name_);
    claimed_ = other.claimed_;
    other.handle_ = closed;
  }
  return *this;
}

}  // namespace platform
