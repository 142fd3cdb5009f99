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

// A library file at a path; its own dependencies are looked for beside it, in the
// program's folder and in the system's, never in the current folder.
HMODULE load_file(const std::string& path) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  // The search flags take a fully qualified path with backslashes only.
  for (DWORD i = 0; i < length; ++i) {
    if (full[i] == '/') full[i] = '\\';
  }
  if (GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) return nullptr;
  return LoadLibraryExA(full, nullptr,
                        LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
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

LibraryHandle load_library(const char* name) {
  const std::string file = name;
  if (file.empty()) return nullptr;
  if (!is_bare_name(file)) return load_file(file);
  // The program's folder and the system folder first, as the platform's search does.
  if (HMODULE module = LoadLibraryExA(
          name, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return module;
  }
  // Then the 16-bit system folder, the Windows folder and PATH, leaving out the current
  // folder that the platform's search would try before PATH, and every relative folder.
  std::string folders = windows_folder() + "\\system;" + windows_folder() + ";" + path_variable();
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(';', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"') {
      folder = folder.substr(1, folder.size() - 2);
    }
    if (is_absolute_folder(folder)) {
      if (HMODULE module = load_file(folder + "\\" + file)) return module;
    }
    start = end + 1;
  }
  return nullptr;
}

LibraryHandle load_library_as_typed(const char* path) {
  return LoadLibraryA(path);
}

void* library_symbol(LibraryHandle library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void free_library(LibraryHandle library) {
  if (library) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace platform
