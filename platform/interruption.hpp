// A request to stop (Ctrl+C, Ctrl+Break or closing the console on Windows; SIGINT, SIGTERM
// or SIGHUP on POSIX) that must wait: while the phone is in a session, the library call
// that runs cannot be interrupted, and a phone left booted with its port open needs a
// restart first.
#pragma once

namespace platform {

// While it lives, a request to stop does not end the program: it is noted, and the first
// one prints `notice` on standard output as a line of its own. A request after it ends is
// handled as before it began. Closing the console on Windows is held up, as long as the
// system lets a program's handler wait (about 5 seconds), until this ends.
class DeferredInterruption {
 public:
  explicit DeferredInterruption(const char* notice);
  ~DeferredInterruption();
  DeferredInterruption(const DeferredInterruption&) = delete;
  DeferredInterruption& operator=(const DeferredInterruption&) = delete;

  // Whether a request to stop came since it began.
  bool requested() const;
};

// The exit status of a program that stopped on such a request once the phone was closed:
// 130 on POSIX, as a shell gives for a program ended by SIGINT; on Windows
// STATUS_CONTROL_C_EXIT, as Ctrl+C gives a console program.
int interrupted_exit_status();

}  // namespace platform
