#include <windows.h>

#include <atomic>
#include <string>

#include "platform/interruption.hpp"

namespace platform {
namespace {

std::atomic<bool> request_noted{false};
std::string notice_line;
// Signalled when the session that holds requests ends; a console that is being closed
// waits for it.
HANDLE session_ended = nullptr;

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI note_request(DWORD event) {
  if (!request_noted.exchange(true)) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), notice_line.data(),
              static_cast<DWORD>(notice_line.size()), &written, nullptr);
  }
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  // Closing the window, logging off, shutting down: the program ends when this returns,
  // and the system ends it anyway after a few seconds. Until then the phone is closed.
  WaitForSingleObject(session_ended, INFINITE);
  return TRUE;
}

}  // namespace

DeferredInterruption::DeferredInterruption(const char* notice) {
  request_noted = false;
  notice_line = std::string(notice) + "\r\n";
  session_ended = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(note_request, TRUE);
}

DeferredInterruption::~DeferredInterruption() {
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
