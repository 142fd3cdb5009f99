#include "standins/common/test_controls.hpp"

#include "standins/common/library_exception.hpp"
#include "standins/common/system.hpp"

namespace standin {
namespace {

// The mode named for `routine` in KORVANTA_STANDIN_FAULTS, or an empty text.
CString fault_mode(const char* routine) {
  const CString faults = environment("KORVANTA_STANDIN_FAULTS");
  const CString key = CString(routine) + "=";
  const char* at = faults.GetString();
  while (*at) {
    const char* end = at;
    while (*end && *end != ',') ++end;
    const int item_length = static_cast<int>(end - at);
    bool matches = item_length >= key.GetLength();
    for (int i = 0; matches && i < key.GetLength(); ++i) matches = at[i] == key.GetString()[i];
    if (matches) {
      CString mode;
      for (const char* c = at + key.GetLength(); c < end; ++c) mode += *c;
      return mode;
    }
    at = *end ? end + 1 : end;
  }
  return CString();
}

void note_destroyed() {
  log_line("exception object destroyed");
}

}  // namespace

void log_line(const CString& line) {
  const CString path = environment("KORVANTA_STANDIN_LOG");
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

}  // namespace standin
