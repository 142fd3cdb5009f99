#include <windows.h>

#include <algorithm>

#include "platform/positioned_file.hpp"

namespace platform {

namespace {

HANDLE handle_of(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

PositionedFile::PositionedFile(const std::string& path)
    : handle_(reinterpret_cast<std::intptr_t>(
          CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))) {}

PositionedFile::~PositionedFile() {
  if (is_open()) CloseHandle(handle_of(handle_));
}

std::optional<std::size_t> PositionedFile::read_at(std::uint64_t offset, char* data,
                                                   std::size_t size) {
  if (!is_open()) return std::nullopt;
  std::size_t done = 0;
  while (done < size) {
    const std::uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(handle_of(handle_), data + done, wanted, &got, &position)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return std::nullopt;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace platform
