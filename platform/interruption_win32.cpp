#include <windows.h>

#include <atomic>
#include <string>

#include "platform/interruption.hpp"

namespace platform {
namespace {

std::atomic<bool> request_noted{false};
std::string notice_line;
std::string closing_line;
// The console window's menu, while its close item is greyed out.
HMENU console_menu = nullptr;
// Signalled when the session that holds requests ends; a console that is being closed
// waits for it.
HANDLE session_ended = nullptr;

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI note_request(DWORD event) {
  const bool closing = event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT;
  // A closing after a Ctrl+C says so too: the notice printed then no longer holds.
  if (!request_noted.exchange(true) || closing) {
    const std::string& line = closing ? closing_line : notice_line;
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
  }
  if (!closing) return TRUE;
  // The system ends the program when this returns, or after a few seconds anyway: the
  // session may still close the phone before then.
  WaitForSingleObject(session_ended, INFINITE);
  return TRUE;
}

}  // namespace

DeferredInterruption::DeferredInterruption(const char* notice, const char* closing_notice) {
  request_noted = false;
  notice_line = std::string(notice) + "\r\n";
  closing_line = std::string(closing_notice) + "\r\n";
  // In Windows Terminal this window is a hidden stand-in, whose menu changes nothing.
  // Greyed out rather than removed, so that the menu is the console's own again after.
  if (const HWND window = GetConsoleWindow()) {
    const HMENU menu = GetSystemMenu(window, FALSE);
    if (menu && EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED) == MF_ENABLED) {
      console_menu = menu;
    }
  }
  session_ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(note_request, TRUE);
}

DeferredInterruption::~DeferredInterruption() {
  if (console_menu) EnableMenuItem(console_menu, SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
  console_menu = nullptr;
  SetConsoleCtrlHandler(note_request, FALSE);
  SetEvent(session_ended);
  // A handler still waiting on the event has it signalled; it is closed with the process.
  if (!request_noted) CloseHandle(session_ended);
  session_ended = nullptr;
}

bool DeferredInterruption::requested() const {
  return request_noted;
}

int interrupted_exit_status() {
  return static_cast<int>(STATUS_CONTROL_C_EXIT);
}

}  // namespace platform
