#include "shell/library_binding.hpp"

#include "shell/failure.hpp"

namespace {

Library bound(platform::LibraryHandle handle) {
  Library library(handle);
  if (!library) fail("Error during the loading DLL");
  return library;
}

}  // namespace

Library bind_library(const std::string& name) {
  return bound(platform::load_library(name.c_str()));
}

Library bind_typed_library(const std::string& path) {
  return bound(platform::load_library_as_typed(path.c_str()));
}

void* require_entry_point(Library& library, const char* name) {
  void* address = platform::library_symbol(library.get(), name);
  if (!address) {
    library.reset();
    fail(std::string("Procedure not found:") + name);
  }
  return address;
}
