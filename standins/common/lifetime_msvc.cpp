// The library's entry point (there is no C runtime to provide one): logs "load" and
// "unload" as the stand-in library is loaded and released.
#include "standins/common/system.hpp"
#include "standins/common/test_controls.hpp"

namespace standin {
// KORVANTA_STANDIN_RTLUNWIND=windows: the program's RtlUnwind as Windows' own
// (windows_unwind_msvc.cpp).
void imitate_windows_unwind_if_asked();
}  // namespace standin

extern "C" int __stdcall standin_entry(void*, unsigned long reason, void*) {
  constexpr unsigned long process_detach = 0;
  constexpr unsigned long process_attach = 1;
  if (reason == process_attach) {
    standin::log_line(CString("load ") + standin::library_file_name);
    standin::imitate_windows_unwind_if_asked();
  }
  if (reason == process_detach) {
    standin::log_line(CString("unload ") + standin::library_file_name);
  }
  return 1;
}

// Called by a pure virtual function's slot; never reached.
extern "C" int _purecall() {
  standin::write_to_null();
  return 0;
}
