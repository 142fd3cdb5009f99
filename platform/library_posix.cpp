#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "platform/library.hpp"

namespace platform {
namespace {

// The folder of the running program, with a trailing slash, or empty when unknown.
std::string program_folder() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<size_t>(length) >= path.size()) return {};
  path.resize(static_cast<size_t>(length));
  return path.substr(0, path.rfind('/') + 1);
}

}  // namespace

LoaderSearch system_loader_search() {
  return LoaderSearch::search_flags;
}

LibraryHandle load_library(const char* name, LoaderSearch) {
  const std::string file = name;
  if (file.empty()) return nullptr;
  if (file.find('/') != std::string::npos) return dlopen(name, RTLD_NOW | RTLD_LOCAL);
  // Windows looks beside the program first; do the same so that a library shipped next
  // to the program wins over one elsewhere on the system.
  if (const std::string folder = program_folder(); !folder.empty()) {
    if (void* beside = dlopen((folder + file).c_str(), RTLD_NOW | RTLD_LOCAL)) return beside;
  }
  return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

// dlopen never looks in the current folder for a bare name: a typed name loads as any
// other.
LibraryHandle load_library_as_typed(const char* path, LoaderSearch search) {
  return load_library(path, search);
}

void* library_symbol(LibraryHandle library, const char* name) {
  return library ? dlsym(library, name) : nullptr;
}

void free_library(LibraryHandle library) {
  if (library) dlclose(library);
}

}  // namespace platform
