#include <windows.h>

#include <cstring>

#include "platform/device_names.hpp"
#include "platform/file_system.hpp"

namespace platform {

namespace {

struct HandleClose {
  HANDLE handle;
  ~HandleClose() { CloseHandle(handle); }
};

}  // namespace

std::filesystem::path typed_path(const std::string& typed) {
  if (typed.empty()) return {};
  const int bytes = static_cast<int>(typed.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, typed.data(), bytes, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, typed.data(), bytes, wide.data(), length);
  return std::filesystem::path(wide);
}

std::optional<FileIdentity> file_identity(const std::string& typed) {
  // A device is never opened to be told apart: a serial port or the console could wait.
  if (typed.empty() || names_device(typed)) return std::nullopt;
  // No access asked, every sharing mode given: the file may be open anywhere, in any way.
  // A folder opens only with backup semantics.
  const HANDLE file = CreateFileW(typed_path(typed).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  const HandleClose closer{file};
  // The 128-bit identifier where the file system gives one (Windows 8 and later; ReFS
  // needs all of it), else the 64-bit index, which every Windows gives.
  FILE_ID_INFO id{};
  if (GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id)) {
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    std::memcpy(&low, id.FileId.Identifier, sizeof low);
    std::memcpy(&high, id.FileId.Identifier + sizeof low, sizeof high);
    return FileIdentity{id.VolumeSerialNumber, high, low};
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file, &information)) return std::nullopt;
  return FileIdentity{
      information.dwVolumeSerialNumber, 0,
      (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

bool names_irregular_file(const std::string& typed) {
  // "\\.\" opens the device namespace: pipes, ports, volumes.
  if (names_device(typed) || typed.rfind("\\\\.\\", 0) == 0) return true;
  const DWORD attributes = GetFileAttributesW(typed_path(typed).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool names_device(const std::string& typed) {
  return is_windows_device_name(typed);
}

}  // namespace platform
