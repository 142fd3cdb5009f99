// Binding of an outside library for the length of one action: loaded by name when the
// action starts, entry points resolved by name before the first prompt that needs them,
// released on every path out of the action.
#pragma once

#include <memory>
#include <string>

#include "platform/library.hpp"

struct LibraryRelease {
  void operator()(platform::LibraryHandle library) const noexcept {
    platform::free_library(library);
  }
};

// A loaded library, released when its owner goes.
using Library = std::unique_ptr<void, LibraryRelease>;

// Loads the library whose name the program gives itself (never from the current folder,
// see platform/library.hpp); raises the text "Error during the loading DLL" when it does
// not load.
Library bind_library(const std::string& name);

// The same for a library at a path that the user typed, loaded as typed.
Library bind_typed_library(const std::string& path);

// The address of one export. When it is missing the library is released first, then the
// text "Procedure not found:" followed by the name is raised.
void* require_entry_point(Library& library, const char* name);

// One entry point to resolve: its export name and the typed pointer to fill.
template <typename Fn>
struct EntryPoint {
  const char* name;
  Fn*& target;
};

template <typename Fn>
EntryPoint<Fn> entry_point(const char* name, Fn*& target) {
  return {name, target};
}

// Resolves the entry points in the order given; the first missing one ends the binding.
template <typename... Fn>
void resolve_entry_points(Library& library, EntryPoint<Fn>... entries) {
  ((entries.target = reinterpret_cast<Fn*>(require_entry_point(library, entries.name))), ...);
}
