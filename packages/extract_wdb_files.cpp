#include <cstdint>
#include <string>

#include "packages/actions.hpp"
#include "platform/cstring.hpp"
#include "platform/fault_guard.hpp"
#include "shell/console.hpp"
#include "shell/library_binding.hpp"

namespace {

using platform::CString;

// The web-download library's two unpack routines are not exported: they lie at these
// distances below its export _StartUpgrade.
constexpr std::uintptr_t first_unpack_distance = 19744;
constexpr std::uintptr_t second_unpack_distance = 18886;

// (library path, WDB path, software version, package kind, result text)
using UnpackRoutine = void (*)(CString, CString, CString, CString, CString);

UnpackRoutine routine_below(void* start_upgrade, std::uintptr_t distance) {
  return reinterpret_cast<UnpackRoutine>(reinterpret_cast<std::uintptr_t>(start_upgrade) -
                                         distance);
}

}  // namespace

void extract_wdb_files() {
  const CString result;
  std::string library_path = "Inf_WebDnld.dll";
  print_prompt("Location of DLL (Ex C:\\Inf_WebDnld.dll): ");
  library_path = read_line();
  Library library = bind_library(library_path);
  void* start_upgrade = require_entry_point(library, "_StartUpgrade");

  print_prompt("File WDB (Ex C:\\V10G.wdb): ");
  const std::string wdb_path = read_line();
  print_prompt("Version(SW version) (Ex V10G_04): ");
  const std::string version = read_line();
  print_line("Loading...");

  // Whatever goes wrong inside a routine is the library's own affair: the second routine
  // runs whether or not the first one failed. The routines get copies of the result
  // text, so the caller's stays empty.
  for (const std::uintptr_t distance : {first_unpack_distance, second_unpack_distance}) {
    const UnpackRoutine unpack = routine_below(start_upgrade, distance);
    platform::call_guarded(
        [&] { unpack(library_path.c_str(), wdb_path.c_str(), version.c_str(), "BIN", result); });
  }
  print_line(result.c_str());
}
