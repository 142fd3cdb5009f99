// The test controls (standins/common/fault_setting.hpp) in the stand-ins of the phone
// maker's libraries. The modes of KORVANTA_STANDIN_FAULTS they know:
//   null     writes to address 0 (a processor fault);
//   throw    raises a C++ exception, as the platform's compiler does (on Windows, as
//            Microsoft's runtime does), from inside a frame of its own whose clean-up logs
//            "<routine> cleaned up on the way out";
//   handled  faults inside a handler of its own, which takes the fault, and then works
//            normally;
//   fail     gives up cleanly.
// A routine may know modes of its own, which it asks for with mode_is.
#pragma once

#include "standins/common/framework_string.hpp"

namespace standin {

// Appends the line to the call log, when there is one.
void log_line(const CString& line);

// Acts out the fault chosen for `routine`: faults or raises for "null" and "throw",
// returns true for "fail" (the routine then gives up its own way), false when the
// routine is to work normally.
bool act_out_fault(const char* routine);

// Whether KORVANTA_STANDIN_FAULTS names `mode` for `routine`.
bool mode_is(const char* routine, const char* mode);

}  // namespace standin
