#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/interruption.hpp"

namespace platform {
namespace {

constexpr std::array<int, 3> deferred_signals{SIGINT, SIGTERM, SIGHUP};
std::array<struct sigaction, deferred_signals.size()> previous_actions{};

volatile sig_atomic_t request_noted = 0;
std::array<char, 256> notice_line{};
std::size_t notice_length = 0;

// Only async-signal-safe work: a flag and one write.
void note_request(int) {
  if (request_noted) return;
  request_noted = 1;
  const ssize_t written = ::write(STDOUT_FILENO, notice_line.data(), notice_length);
  static_cast<void>(written);  // nothing to be done about a console that takes nothing
}

}  // namespace

// Every request is held on POSIX: the closing notice is never needed.
DeferredInterruption::DeferredInterruption(const char* notice, const char*) {
  request_noted = 0;
  const int length = std::snprintf(notice_line.data(), notice_line.size(), "%s\n", notice);
  notice_length = std::min<std::size_t>(static_cast<std::size_t>(length), notice_line.size() - 1);
  struct sigaction action {};
  action.sa_handler = note_request;
  sigemptyset(&action.sa_mask);
  // The library's system calls go on where the signal found them: the step runs to its end.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < deferred_signals.size(); ++i) {
    sigaction(deferred_signals[i], &action, &previous_actions[i]);
  }
}

DeferredInterruption::~DeferredInterruption() {
  for (std::size_t i = 0; i < deferred_signals.size(); ++i) {
    sigaction(deferred_signals[i], &previous_actions[i], nullptr);
  }
}

bool DeferredInterruption::requested() const {
  return request_noted != 0;
}

int interrupted_exit_status() {
  return 128 + SIGINT;
}

}  // namespace platform
