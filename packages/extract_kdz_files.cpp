#include <cstdint>
#include <string>

#include "packages/actions.hpp"
#include "platform/calling_convention.hpp"
#include "platform/cstring.hpp"
#include "platform/fault_guard.hpp"
#include "platform/stack_balanced_call.hpp"
#include "shell/console.hpp"
#include "shell/library_binding.hpp"

namespace {

using platform::CString;
using platform::CStringArgument;

// The upgrade library's KDZ extraction entry is not exported: it lies this far above
// its export dll_StartUpgrade.
constexpr std::uintptr_t kdz_entry_distance = 29408;

// (address of the result text, KDZ path as a CString by value)
using KdzExtractionEntry = void(KORVANTA_CDECL*)(CString*, CStringArgument);

}  // namespace

void extract_kdz_files() {
  // Made before the library is bound: the text the entry leaves in it is allocated by the
  // program's string manager and outlives the library's release.
  CString result;
  Library library = bind_library("LGMUpgradeDL.dll");
  void* start_upgrade = require_entry_point(library, "dll_StartUpgrade");
  const auto extract = reinterpret_cast<KdzExtractionEntry>(
      reinterpret_cast<std::uintptr_t>(start_upgrade) + kdz_entry_distance);

  print_prompt("File KDZ (Ex C:\\V10G.kdz): ");
  const CString kdz_path = read_line().c_str();
  print_line("Loading...");
  // A failure inside the entry leaves the result text as the entry left it.
  platform::call_guarded(
      [&] { platform::call_restoring_stack(extract, &result, kdz_path.argument()); });
  print_line(result.c_str());
}
