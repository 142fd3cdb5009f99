#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/file_system.hpp"
#include "platform/pending_file.hpp"
#include "platform/reparse_tags.hpp"

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

std::string system_name(const std::string& typed) {
  // The last part as Windows' own path rules leave it: no trailing dots or spaces.
  const std::wstring full = full_path(typed);
  const std::size_t leaf_at = full.find_last_of(L"\\/") + 1;
  std::wstring path = full;
  constexpr std::wstring_view data_stream = L"::$DATA";
  const std::size_t stream_at = path.size() - data_stream.size();
  if (path.size() > leaf_at + data_stream.size() &&
      CompareStringOrdinal(path.c_str() + stream_at, static_cast<int>(data_stream.size()),
                           data_stream.data(), static_cast<int>(data_stream.size()),
                           TRUE) == CSTR_EQUAL) {
    path.resize(stream_at);
  }
  // The long name of a file that is there, also when its 8.3 short name was typed.
  if (const DWORD length = GetLongPathNameW(path.c_str(), nullptr, 0); length != 0) {
    std::wstring long_name(length, L'\0');
    long_name.resize(GetLongPathNameW(path.c_str(), long_name.data(), length));
    if (!long_name.empty()) path = long_name;
  }
  const std::wstring leaf = path.substr(path.find_last_of(L"\\/") + 1);
  // Back to the typed bytes; a name that the ANSI code page cannot spell stays as typed.
  // (UTF-8 as the ANSI page spells every name, and takes no question about it.)
  BOOL lossy = FALSE;
  const int bytes =
      WideCharToMultiByte(CP_ACP, 0, leaf.c_str(), static_cast<int>(leaf.size()), nullptr, 0,
                          nullptr, GetACP() == CP_UTF8 ? nullptr : &lossy);
  if (leaf.empty() || bytes <= 0 || lossy) return typed;
  std::string ansi(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, leaf.c_str(), static_cast<int>(leaf.size()), ansi.data(), bytes,
                      nullptr, nullptr);
  return typed.substr(0, leaf_start(typed)) + ansi;
}

bool replaceable(const std::string& typed) {
  const std::wstring path = long_path(typed);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() != ERROR_SHARING_VIOLATION;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  // The reparse point itself is opened, never what it stands for: a placeholder is not
  // fetched from the cloud for this.
  const HANDLE file =
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  const bool told = GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag);
  CloseHandle(file);
  return told && replaceable_reparse_tag(tag.ReparseTag);
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
  // open without delete sharing (a sharing violation), or by the file's own rights.
  const HANDLE file = CreateFileW(
      path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION) return FileOutcome::held;
    return error == ERROR_ACCESS_DENIED ? FileOutcome::denied : FileOutcome::done;
  }
  CloseHandle(file);
  return FileOutcome::done;
}

void PendingFile::close() {
  if (is_open()) CloseHandle(handle_of(handle_));
  handle_ = closed;
}

FileOutcome PendingFile::claim(const std::string& name, const std::string& target) {
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
  if (error == ERROR_ALREADY_EXISTS) {
    LARGE_INTEGER size{};
    const bool target_gone =
        GetFileAttributesW(long_path(target).c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND;
    if (GetFileSizeEx(file, &size) && size.QuadPart != 0 && target_gone) {
      CloseHandle(file);
      return FileOutcome::leftover;
    }
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

bool PendingFile::resize(std::uint64_t size) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(handle_of(handle_), position, nullptr, FILE_BEGIN) &&
         SetEndOfFile(handle_of(handle_));
}

FileOutcome PendingFile::replace_once(const std::string& target, bool durable) {
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
    // A rename over a file that another program holds is refused as access denied too:
    // the file's own rights are told apart by asking for the access a rename needs.
    const DWORD error = GetLastError();
    if (error != ERROR_ACCESS_DENIED) return outcome_of(error);
    const FileOutcome hindrance = replacement_hindrance(target);
    return hindrance == FileOutcome::done ? FileOutcome::held : hindrance;
  }
  close();
  return FileOutcome::done;
}

FileOutcome move_file_once(const std::string& from, const std::string& to) {
  if (MoveFileExW(long_path(from).c_str(), long_path(to).c_str(), 0)) return FileOutcome::done;
  return outcome_of(GetLastError());
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
