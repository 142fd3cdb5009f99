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

void extract_kdz_files() {
  // Made before the library is bound, and so released after it: an entry that fills it
  // through its address allocates with the program's string manager.
  vendor_abi::CString result;
  Library library = bind_library("LGMUpgradeDL.dll");
  void* start_upgrade = require_entry_point(library, "dll_StartUpgrade");
  const auto extract = reinterpret_cast<vendor_abi::KdzExtractionEntry>(
      reinterpret_cast<std::uintptr_t>(start_upgrade) + vendor_abi::kdz_entry_distance);

  print_prompt("File KDZ (Ex C:\\V10G.kdz): ");
  const std::string typed_kdz_path = read_line();
  library_file(typed_kdz_path);
  const vendor_abi::CString kdz_path = typed_kdz_path.c_str();
  print_line("Loading...");
  // A failure inside the entry leaves the result text as the entry left it.
  platform::call_guarded(
      [&] { platform::call_restoring_stack(extract, &result, kdz_path.argument()); });
  // An entry that returns its text by value builds it with the library's own manager,
  // which leaves with the library: the text becomes the program's while it is loaded.
  result.take_as_own();
  print_line(result.c_str());
}
