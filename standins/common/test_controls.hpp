// What the tests control in the stand-in libraries, through the environment, which only
// the stand-ins read:
//
//   KORVANTA_STANDIN_LOG     a file; every call into a stand-in appends one line naming
//                            the routine and its arguments, and loading and releasing a
//                            stand-in append "load <file>" and "unload <file>".
//   KORVANTA_STANDIN_FAULTS  "routine=mode,routine=mode": how a routine goes wrong, with
//                            mode "null" (dereferences a null pointer), "throw" (raises a
//                            std::runtime_error) or "fail" (gives up cleanly).
#pragma once

#include <string>

namespace standin {

// Appends the line to the call log, when there is one.
void log_line(const std::string& line);

// The text in double quotes, for the call log.
std::string quoted(const std::string& text);

// Acts out the fault chosen for `routine`: faults or raises for "null" and "throw",
// returns true for "fail" (the routine then gives up its own way), false when the
// routine is to work normally.
bool act_out_fault(const std::string& routine);

// Logs "load <file>" when made and "unload <file>" when it goes: one per stand-in, made
// and destroyed with the library.
class LifetimeLog {
 public:
  explicit LifetimeLog(const char* file);
  ~LifetimeLog();
  LifetimeLog(const LifetimeLog&) = delete;
  LifetimeLog& operator=(const LifetimeLog&) = delete;

 private:
  const char* file_;
};

}  // namespace standin
