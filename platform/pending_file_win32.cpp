#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/file_system.hpp"
#include "platform/pending_file.hpp"

namespace platform {

namespace {

// MAX_PATH counts the terminating NUL.
constexpr std::size_t ansi_path_limit = MAX_PATH - 1;

HANDLE handle_of(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::wstring full_path(const std::string& typed) {
  const std::wstring wide = typed_path(typed).wstring();
  const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (length == 0) return wide;
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
  full.resize(written < length ? written : 0);
  return full;
}

// The name in the form that passes MAX_PATH: "\\?\C:\folder\name", "\\?\UNC\server\share\...".
std::wstring long_path(const std::string& typed) {
  const std::wstring full = full_path(typed);
  if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

FileOutcome outcome_of(DWORD error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileOutcome::held;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return FileOutcome::folder_refuses;
    case ERROR_FILENAME_EXCED_RANGE:
      return FileOutcome::name_too_long;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      return FileOutcome::missing_folder;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return FileOutcome::exists;
    default:
      return FileOutcome::failed;
  }
}

// A rename of the open file, which needs no second opening of it: no other program can
// open the file in between, since it is shared with none.
bool rename_open_file(HANDLE file, const std::wstring& to, bool replace) {
  const std::size_t name_bytes = to.size() * sizeof(wchar_t);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name_bytes);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = replace ? TRUE : FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(name_bytes);
  std::memcpy(rename->FileName, to.data(), name_bytes);
  return SetFileInformationByHandle(file, FileRenameInfo, rename,
                                    static_cast<DWORD>(buffer.size()));
}

constexpr DWORD kept_attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

bool replaceable(const std::string& typed) {
  const DWORD attributes = GetFileAttributesW(long_path(typed).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() != ERROR_SHARING_VIOLATION;
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

bool name_fits(const std::string& typed) {
  return full_path(typed).size() <= ansi_path_limit;
}

FileOutcome replacement_hindrance(const std::string& target) {
  const std::wstring path = long_path(target);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileOutcome::done;
  if (attributes & FILE_ATTRIBUTE_READONLY) return FileOutcome::read_only;
  // The access that a rename over the file needs: refused while another program has it
  // open without delete sharing.
  const HANDLE file =
      CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ? FileOutcome::held
                                                                            : FileOutcome::done;
  }
  CloseHandle(file);
  return FileOutcome::done;
}

void PendingFile::close() {
  if (is_open()) CloseHandle(handle_of(handle_));
  handle_ = closed;
}

FileOutcome PendingFile::claim(const std::string& name) {
  close();
  const std::wstring path = long_path(name);
  // Shared with nobody: a second run's opening fails with a sharing violation, and so does
  // any other program's until the file is renamed into place or removed.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = GetLastError();
  if (file == INVALID_HANDLE_VALUE) {
    if (error == ERROR_SHARING_VIOLATION) return FileOutcome::claimed;
    // Something of that name that cannot be written: a folder, a read-only file.
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return FileOutcome::name_taken;
    return outcome_of(error);
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return FileOutcome::name_taken;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  name_ = name;
  claimed_ = true;
  // A file that an interrupted run left holds what that run wrote.
  if (error == ERROR_ALREADY_EXISTS && !SetEndOfFile(file)) return FileOutcome::failed;
  return FileOutcome::done;
}

FileOutcome PendingFile::open_directly(const std::string& name) {
  close();
  const HANDLE file =
      CreateFileW(long_path(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return outcome_of(GetLastError());
  handle_ = reinterpret_cast<std::intptr_t>(file);
  name_ = name;
  claimed_ = false;
  return FileOutcome::done;
}

bool PendingFile::write(const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD part = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle_of(handle_), data, part, &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    size -= written;
  }
  return true;
}

std::FILE* PendingFile::open_stream() {
  HANDLE copy = nullptr;
  const HANDLE process = GetCurrentProcess();
  if (!DuplicateHandle(process, handle_of(handle_), process, &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(copy), _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(copy);
    return nullptr;
  }
  std::FILE* stream = _fdopen(descriptor, "wb");
  if (!stream) _close(descriptor);
  return stream;
}

std::optional<std::uint64_t> PendingFile::size() const {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(handle_of(handle_), &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool PendingFile::resize(std::uint64_t size) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(handle_of(handle_), position, nullptr, FILE_BEGIN) &&
         SetEndOfFile(handle_of(handle_));
}

FileOutcome PendingFile::replace(const std::string& target, bool durable) {
  const std::wstring path = long_path(target);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // Windows refuses to rename over a read-only file; wine would replace it.
    if (attributes & FILE_ATTRIBUTE_READONLY) return FileOutcome::read_only;
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(handle_of(handle_), FileBasicInfo, &basic, sizeof basic)) {
      return FileOutcome::failed;
    }
    // Times of 0 leave the file's own; attributes of 0 would too, NORMAL clears them.
    const DWORD wanted = (basic.FileAttributes & ~kept_attributes) | (attributes & kept_attributes);
    basic = FILE_BASIC_INFO{};
    basic.FileAttributes = wanted ? wanted : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(handle_of(handle_), FileBasicInfo, &basic, sizeof basic)) {
      return FileOutcome::failed;
    }
  }
  if (durable && !FlushFileBuffers(handle_of(handle_))) return FileOutcome::failed;
  if (!rename_open_file(handle_of(handle_), path, true)) {
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED ? FileOutcome::held : outcome_of(error);
  }
  close();
  return FileOutcome::done;
}

FileOutcome PendingFile::keep_as(const std::string& name) {
  if (!rename_open_file(handle_of(handle_), long_path(name), false)) {
    return outcome_of(GetLastError());
  }
  close();
  return FileOutcome::done;
}

void PendingFile::remove() {
  if (claimed_ && is_open()) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(handle_of(handle_), FileDispositionInfo, &disposition,
                               sizeof disposition);
  }
  close();
}

}  // namespace platform
