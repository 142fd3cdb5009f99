// What the tests control in the stand-ins of the phone maker's libraries, through the
// environment, which only the stand-ins read:
//
//   KORVANTA_STANDIN_LOG     a file; every call into a stand-in appends one line naming
//                            the routine and its arguments, and loading and releasing a
//                            stand-in append "load <file>" and "unload <file>".
//   KORVANTA_STANDIN_FAULTS  "routine=mode,routine=mode": how a routine goes wrong:
//                            null     writes to address 0 (a processor fault);
//                            throw    raises a C++ exception, as the platform's compiler
//                                     does (on Windows, as Microsoft's runtime does),
//                                     from inside a frame of its own whose clean-up logs
//                                     "<routine> cleaned up on the way out";
//                            handled  faults inside a handler of its own, which takes the
//                                     fault, and then works normally;
//                            fail     gives up cleanly.
#pragma once

#include "standins/common/framework_string.hpp"

namespace standin {

// Appends the line to the call log, when there is one.
void log_line(const CString& line);

// Acts out the fault chosen for `routine`: faults or raises for "null" and "throw",
// returns true for "fail" (the routine then gives up its own way), false when the
// routine is to work normally.
bool act_out_fault(const char* routine);

}  // namespace standin
