#include <windows.h>

#include <cstdint>
#include <memory>

#include "platform/mapped_file.hpp"

namespace platform {

namespace {

struct HandleClose {
  void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleClose>;

}  // namespace

MappedFile::MappedFile(const std::string& path, std::uint64_t offset, std::size_t size) {
  HANDLE opened = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return;
  const Handle file(opened);
  LARGE_INTEGER length{};
  if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &length)) return;
  const auto file_size = static_cast<std::uint64_t>(length.QuadPart);
  if (offset > file_size || size > file_size - offset) {
    state_ = State::too_short;
    return;
  }
  state_ = State::mapped;
  if (size == 0) return;  // a file of 0 bytes cannot be mapped at all
  state_ = State::cannot_map;
  const Handle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return;
  // A view starts on a multiple of the allocation granularity: it takes the bytes before
  // the range too.
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const std::uint64_t start =
      offset / system.dwAllocationGranularity * system.dwAllocationGranularity;
  const auto lead = static_cast<std::size_t>(offset - start);
  if (size > SIZE_MAX - lead) return;
  void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, static_cast<DWORD>(start >> 32),
                             static_cast<DWORD>(start), lead + size);
  if (!view) return;
  state_ = State::mapped;
  view_ = view;
  view_size_ = lead + size;
  data_ = static_cast<const char*>(view) + lead;
  size_ = size;
}

MappedFile::~MappedFile() {
  if (view_) UnmapViewOfFile(view_);
}

}  // namespace platform
