// Run-time loading of outside libraries: the platform's LoadLibrary, GetProcAddress and
// FreeLibrary. On Windows these are the real calls; elsewhere the same three operations
// over dlopen, dlsym and dlclose.
#pragma once

namespace platform {

// An opaque module handle; null means "not loaded".
using LibraryHandle = void*;

// Loads a library whose name the program gives itself. A bare name is looked for in the
// folder that holds the running program, then in the system's folders, then (on Windows)
// in the absolute folders of PATH, and never in the current folder, where anybody could
// have put a file of that name. A name with a path separator is loaded from that path.
// The library's own dependencies are looked for beside it first, and never in the current
// folder either.
// Returns null when nothing loads.
LibraryHandle load_library(const char* name);

// Loads a library from a path that the user typed, as typed: a bare name goes through the
// platform's own search, which on Windows includes the current folder. A path that names
// a folder looks for the library's own dependencies in that folder first.
LibraryHandle load_library_as_typed(const char* path);

// The address of the exported entry point `name`, or null when the library lacks it.
void* library_symbol(LibraryHandle library, const char* name);

// Releases a library loaded by load_library. Null is ignored.
void free_library(LibraryHandle library);

}  // namespace platform
