// The one scheme of test controls of every stand-in, read from the environment by the
// stand-ins only:
//
//   KORVANTA_STANDIN_LOG     a file; every call into a stand-in appends one line naming the
//                            routine and its arguments, and loading and releasing a stand-in
//                            append "load <file>" and "unload <file>".
//   KORVANTA_STANDIN_FAULTS  "routine=mode,routine=mode": how a routine (or an entry point,
//                            by its export name) goes wrong. Each stand-in says which modes
//                            its routines know.
//
// Plain C, so that every stand-in can read it, whatever it is built with.
#pragma once

#include <stddef.h>

namespace standin {

inline constexpr const char* log_variable = "KORVANTA_STANDIN_LOG";
inline constexpr const char* faults_variable = "KORVANTA_STANDIN_FAULTS";

// Copies the mode that `faults` (the variable's value, may be null) names for `routine`
// into `mode` (`size` bytes, NUL-terminated, cut when longer); an empty text when it names
// none.
inline void fault_mode(const char* faults, const char* routine, char* mode, size_t size) {
  mode[0] = '\0';
  for (const char* item = faults; item && *item;) {
    const char* end = item;
    while (*end && *end != ',') ++end;
    const char* name = routine;
    const char* at = item;
    while (*name && at < end && *at == *name) ++at, ++name;
    if (*name == '\0' && at < end && *at == '=') {
      size_t length = 0;
      for (++at; at < end && length + 1 < size; ++at) mode[length++] = *at;
      mode[length] = '\0';
      return;
    }
    item = *end ? end + 1 : end;
  }
}

}  // namespace standin
