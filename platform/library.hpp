// Run-time loading of outside libraries: the platform's LoadLibraryA, GetProcAddress and
// FreeLibrary. On Windows these are the real calls; elsewhere the same three operations
// over dlopen, dlsym and dlclose.
#pragma once

namespace platform {

// An opaque module handle; null means "not loaded".
using LibraryHandle = void*;

// Loads the library file of exactly this name. A bare name is looked for first in the
// folder that holds the running program, then along the system's usual search; a name
// with a path separator is loaded from that path. Returns null when nothing loads.
LibraryHandle load_library(const char* name);

// The address of the exported entry point `name`, or null when the library lacks it.
void* library_symbol(LibraryHandle library, const char* name);

// Releases a library loaded by load_library. Null is ignored.
void free_library(LibraryHandle library);

}  // namespace platform
