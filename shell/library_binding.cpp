#include "shell/library_binding.hpp"

#include "shell/failure.hpp"

Library bind_library(const std::string& name) {
  Library library(platform::load_library(name.c_str()));
  if (!library) fail("Error during the loading DLL");
  return library;
}

void* require_entry_point(Library& library, const char* name) {
  void* address = platform::library_symbol(library.get(), name);
  if (!address) {
    library.reset();
    fail(std::string("Procedure not found:") + name);
  }
  return address;
}
