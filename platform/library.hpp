// Run-time loading of outside libraries: the platform's LoadLibrary, GetProcAddress and
// FreeLibrary. On Windows these are the real calls; elsewhere the same three operations
// over dlopen, dlsym and dlclose.
#pragma once

namespace platform {

// An opaque module handle; null means "not loaded".
using LibraryHandle = void*;

// How the loader keeps the current folder out of the search, on Windows: with the
// system's LOAD_LIBRARY_SEARCH_* flags where kernel32 has them (Windows 8 and later,
// Windows 7 with KB2533623), or by full paths tried one by one where it has not (Windows 7
// without it, which refuses the flags). The program always takes the system's way; the
// tests also take the other. Other platforms have one way and ignore it.
enum class LoaderSearch { search_flags, full_paths };

// The way this system allows.
LoaderSearch system_loader_search();

// Loads a library whose name the program gives itself. A bare name is looked for in the
// folder that holds the running program, then in the system's folders, then (on Windows)
// in the absolute folders of PATH, and never in the current folder, where anybody could
// have put a file of that name. A name with a path separator is loaded from that path.
// The library's own dependencies are looked for beside it first, and never in the current
// folder either.
// Returns null when nothing loads.
LibraryHandle load_library(const char* name, LoaderSearch search = system_loader_search());

// Loads a library from a path that the user typed, as typed: a bare name goes through the
// platform's own search, which on Windows includes the current folder. A path that names
// a folder looks for the library's own dependencies in that folder first.
LibraryHandle load_library_as_typed(const char* path, LoaderSearch search = system_loader_search());

// The address of the exported entry point `name`, or null when the library lacks it.
void* library_symbol(LibraryHandle library, const char* name);

// Releases a library loaded by load_library. Null is ignored.
void free_library(LibraryHandle library);

}  // namespace platform
