// A request to stop (Ctrl+C, Ctrl+Break or closing the console on Windows; SIGINT, SIGTERM
// or SIGHUP on POSIX) that must wait: while the phone is in a session, the library call
// that runs cannot be interrupted, and a phone left booted with its port open needs a
// restart first.
#pragma once

namespace platform {

// While it lives, a request to stop does not end the program: it is noted, and the first
// one prints `notice` on standard output as a line of its own. A request after it ends is
// handled as before it began.
//
// Windows ends a program whose console is closed when its handler returns or its time is
// up (about 5 seconds), and one that loads user32 (as this one does) at logoff or shutdown
// without calling its handler at all. So while this lives, the close item of the console's
// own window (conhost) is greyed out and then put back; a terminal that hosts the console
// (Windows Terminal) keeps its own. A close that comes all the same (End task,
// a terminal tab closed) prints `closing_notice` instead, and is held until this ends or
// the system's time is up.
class DeferredInterruption {
 public:
  DeferredInterruption(const char* notice, const char* closing_notice);
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
