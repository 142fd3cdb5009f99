#include <cstdint>
#include <string>

#include "packages/actions.hpp"
#include "platform/fault_guard.hpp"
#include "platform/stack_balanced_call.hpp"
#include "shell/console.hpp"
#include "shell/library_binding.hpp"
#include "shell/target_file.hpp"
#include "vendor_abi/cstring.hpp"
#include "vendor_abi/upgrade_libraries.hpp"

namespace {

using vendor_abi::CString;
using vendor_abi::UnpackRoutine;

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
  library_file(library_path);
  Library library = bind_typed_library(library_path);
  void* start_upgrade = require_entry_point(library, "_StartUpgrade");

  print_prompt("File WDB (Ex C:\\V10G.wdb): ");
  const std::string wdb_path = read_line();
  library_file(wdb_path);
  // No colon after "Ex", unlike J's version prompt: the system's own text.
  print_prompt("Version(SW version) (Ex V10G_04): ");
  const std::string version = read_line();
  print_line("Loading...");

  // Whatever goes wrong inside a routine is the library's own affair: the second routine
  // runs whether or not the first one failed. The routines get copies of the result
  // text, so the caller's stays empty.
  for (const std::uintptr_t distance :
       {vendor_abi::first_unpack_distance, vendor_abi::second_unpack_distance}) {
    const UnpackRoutine unpack = routine_below(start_upgrade, distance);
    const CString arguments[] = {library_path.c_str(), wdb_path.c_str(), version.c_str(), "BIN"};
    platform::call_guarded([&] {
      platform::call_restoring_stack(unpack, arguments[0].argument(), arguments[1].argument(),
                                     arguments[2].argument(), arguments[3].argument(),
                                     result.argument());
    });
  }
  print_line(result.c_str());
}
