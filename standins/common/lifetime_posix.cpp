// Logs "load" and "unload" as the stand-in library is loaded and released.
#include "standins/common/system.hpp"
#include "standins/common/test_controls.hpp"

namespace {

struct Lifetime {
  Lifetime() { standin::log_line(CString("load ") + standin::library_file_name); }
  ~Lifetime() { standin::log_line(CString("unload ") + standin::library_file_name); }
} lifetime;

}  // namespace
