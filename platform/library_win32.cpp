#include <windows.h>

#include <string>

#include "platform/library.hpp"

namespace platform {
namespace {

bool is_bare_name(const std::string& name) {
  return name.find_first_of("\\/:") == std::string::npos;
}

// "C:\..." or "\\server\...": a folder that does not depend on the current one.
bool is_absolute_folder(const std::string& folder) {
  return (folder.size() >= 3 && folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/')) ||
         folder.rfind("\\\\", 0) == 0;
}

// Without the search flags, the current folder is taken out of the search for the
// libraries' own dependencies instead, once for the process (wine ignores this; Windows
// does not). True when the flags are to be used.
bool uses_search_flags(LoaderSearch search) {
  if (search == LoaderSearch::search_flags) return true;
  static const bool current_folder_left_out = SetDllDirectoryA("");
  static_cast<void>(current_folder_left_out);
  return false;
}

// The full path of `path`, with backslashes only, as the search flags need; empty when it
// is too long.
std::string full_path(const std::string& path) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return {};
  for (DWORD i = 0; i < length; ++i) {
    if (full[i] == '/') full[i] = '\\';
  }
  return std::string(full, length);
}

// A library file at a full path whose own dependencies are looked for beside it first:
// then in the program's folder and the system's (with the search flags), or in the
// platform's order without the current folder (without them).
HMODULE load_beside_its_dependencies(const std::string& full, LoaderSearch search) {
  return LoadLibraryExA(full.c_str(), nullptr,
                        uses_search_flags(search)
                            ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
                            : LOAD_WITH_ALTERED_SEARCH_PATH);
}

// A library file at a path, when it exists.
HMODULE load_file(const std::string& path, LoaderSearch search) {
  const std::string full = full_path(path);
  if (full.empty() || GetFileAttributesA(full.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
  return load_beside_its_dependencies(full, search);
}

std::string program_folder() {
  char file[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, file, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  const std::string path(file, length);
  const std::size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

std::string system_folder() {
  char folder[MAX_PATH];
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(folder, length) : std::string();
}

std::string windows_folder() {
  char folder[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(folder, length) : std::string();
}

std::string path_variable() {
  const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (size == 0) return {};
  std::string value(size, '\0');
  value.resize(GetEnvironmentVariableA("PATH", value.data(), size));
  return value;
}

}  // namespace

LoaderSearch system_loader_search() {
  // The LOAD_LIBRARY_SEARCH_* flags exist only where kernel32 exports AddDllDirectory;
  // elsewhere LoadLibraryExA refuses them with ERROR_INVALID_PARAMETER.
  static const LoaderSearch search = [] {
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    return kernel32 && GetProcAddress(kernel32, "AddDllDirectory") ? LoaderSearch::search_flags
                                                                   : LoaderSearch::full_paths;
  }();
  return search;
}

LibraryHandle load_library(const char* name, LoaderSearch search) {
  const std::string file = name;
  if (file.empty()) return nullptr;
  if (!is_bare_name(file)) return load_file(file, search);
  // The program's folder and the system folder first, as the platform's search does.
  std::string folders;
  if (uses_search_flags(search)) {
    if (HMODULE module = LoadLibraryExA(
            name, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32)) {
      return module;
    }
  } else {
    folders = program_folder() + ";" + system_folder() + ";";
  }
  // Then the 16-bit system folder, the Windows folder and PATH, leaving out the current
  // folder that the platform's search would try before PATH, and every relative folder.
  folders += windows_folder() + "\\system;" + windows_folder() + ";" + path_variable();
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(';', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
      folder = folder.substr(1, folder.size() - 2);
    }
    if (is_absolute_folder(folder)) {
      if (HMODULE module = load_file(folder + "\\" + file, search)) return module;
    }
    start = end + 1;
  }
  return nullptr;
}

LibraryHandle load_library_as_typed(const char* path, LoaderSearch search) {
  // A path that names a folder keeps that folder for the library's own dependencies,
  // which a vendor's library may ship beside it.
  const std::string typed = path;
  if (is_bare_name(typed)) {
    if (uses_search_flags(search)) return LoadLibraryA(path);
    // Without the search flags the current folder is out of the process's search: back
    // in for this one load.
    SetDllDirectoryA(nullptr);
    const HMODULE module = LoadLibraryA(path);
    SetDllDirectoryA("");
    return module;
  }
  const std::string full = full_path(typed);
  return full.empty() ? nullptr
                      : LoadLibraryExA(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* library_symbol(LibraryHandle library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void free_library(LibraryHandle library) {
  if (library) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace platform
