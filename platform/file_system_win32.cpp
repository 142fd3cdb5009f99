#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/device_names.hpp"
#include "platform/file_system.hpp"

namespace platform {

namespace {

struct HandleClose {
  HANDLE handle;
  ~HandleClose() { CloseHandle(handle); }
};

// The file's full name as the system has it, in upper case (names differ only in case on
// Windows' file systems); empty when the system gives none.
std::wstring normalised_name(HANDLE file) {
  std::wstring name(32768, L'\0');  // the longest path Windows has
  const DWORD length = GetFinalPathNameByHandleW(file, name.data(), 32768, FILE_NAME_NORMALIZED);
  name.resize(length < name.size() ? length : 0);
  CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
  return name;
}

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
  FileIdentity identity;
  FILE_ID_INFO id{};
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id)) {
    std::memcpy(&identity.index_low, id.FileId.Identifier, sizeof identity.index_low);
    std::memcpy(&identity.index_high, id.FileId.Identifier + sizeof identity.index_low,
                sizeof identity.index_high);
    identity.volume = id.VolumeSerialNumber;
  } else if (GetFileInformationByHandle(file, &information)) {
    identity.volume = information.dwVolumeSerialNumber;
    identity.index_low =
        (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
  } else {
    return std::nullopt;
  }
  // File IDs are the file system's own: some shares give 0 for every file.
  if (identity.index_low == 0 && identity.index_high == 0) identity.name = normalised_name(file);
  return identity;
}

bool names_irregular_file(const std::string& typed) {
  // "\\.\" opens the device namespace: pipes, ports, volumes.
  if (names_device(typed) || typed.rfind("\\\\.\\", 0) == 0) return true;
  const DWORD attributes = GetFileAttributesW(typed_path(typed).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::size_t leaf_start(const std::string& name) {
  const auto separator = name.find_last_of("/\\");
  if (separator != std::string::npos) return separator + 1;
  // "C:name" is a name in drive C's current folder; any other colon names a stream.
  return name.size() >= 2 && name[1] == ':' ? 2 : 0;
}

std::string local_time_stamp() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond);
  return text;
}

bool names_device(const std::string& typed) {
  return is_windows_device_name(typed);
}

}  // namespace platform
