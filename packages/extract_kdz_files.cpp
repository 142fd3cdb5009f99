#include <cstdint>
#include <string>

#include "packages/actions.hpp"
#include "platform/cstring.hpp"
#include "platform/fault_guard.hpp"
#include "shell/console.hpp"
#include "shell/library_binding.hpp"

namespace {

using platform::CString;

// The upgrade library's KDZ extraction entry is not exported: it lies this far above
// its export dll_StartUpgrade.
constexpr std::uintptr_t kdz_entry_distance = 29408;

// (address of the result text, KDZ path)
using KdzExtractionEntry = void (*)(CString*, CString);

}  // namespace

void extract_kdz_files() {
  // Made before the library is bound, so that it outlives the library's release.
  CString result;
  Library library = bind_library("LGMUpgradeDL.dll");
  void* start_upgrade = require_entry_point(library, "dll_StartUpgrade");
  const auto extract = reinterpret_cast<KdzExtractionEntry>(
      reinterpret_cast<std::uintptr_t>(start_upgrade) + kdz_entry_distance);

  print_prompt("File KDZ (Ex C:\\V10G.kdz): ");
  const std::string kdz_path = read_line();
  print_line("Loading...");
  // A failure inside the entry leaves the result text as the entry left it.
  platform::call_guarded([&] { extract(&result, kdz_path.c_str()); });
  print_line(result.c_str());
}
