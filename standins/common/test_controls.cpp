#include "standins/common/test_controls.hpp"

#include "standins/common/fault_setting.hpp"
#include "standins/common/library_exception.hpp"
#include "standins/common/system.hpp"

namespace standin {
namespace {

// The mode named for `routine` in KORVANTA_STANDIN_FAULTS, or an empty text.
CString fault_mode(const char* routine) {
  char mode[32];
  standin::fault_mode(environment(faults_variable).GetString(), routine, mode, sizeof mode);
  return mode;
}

void note_destroyed() {
  log_line("exception object destroyed");
}

}  // namespace

void log_line(const CString& line) {
  const CString path = environment(log_variable);
  if (path.IsEmpty()) return;
  // Bytes as they are, LF line ends: the log is the same on every platform.
  File log = File::open_for_appending(path.GetString());
  const CString text = line + "\n";
  log.write(text.GetString(), static_cast<size_t>(text.GetLength()));
}

bool act_out_fault(const char* routine) {
  const CString mode = fault_mode(routine);
  if (mode == "null") {
    write_to_null();
  } else if (mode == "throw") {
    // A frame of the library's own between the raise and the caller: its clean-up runs
    // when the exception unwinds it.
    call_with_cleanup(
        [](void* name) {
          raise_library_exception(
              (CString(static_cast<const char*>(name)) + " gave up with an exception").GetString(),
              note_destroyed);
        },
        [](void* name) {
          log_line(CString(static_cast<const char*>(name)) + " cleaned up on the way out");
        },
        const_cast<char*>(routine));
  } else if (mode == "handled") {
    if (fault_and_handle_it()) log_line(CString(routine) + " handled a fault of its own");
  }
  return mode == "fail";
}

bool mode_is(const char* routine, const char* mode) {
  return fault_mode(routine) == mode;
}

}  // namespace standin
