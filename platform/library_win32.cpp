#include <windows.h>

#include "platform/library.hpp"

namespace platform {

LibraryHandle load_library(const char* name) {
  return LoadLibraryA(name);
}

void* library_symbol(LibraryHandle library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void free_library(LibraryHandle library) {
  if (library) FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace platform
