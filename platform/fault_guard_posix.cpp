#include <setjmp.h>
#include <signal.h>

#include <array>
#include <memory>

#include "platform/fault_guard.hpp"

namespace platform {
namespace {

constexpr std::array<int, 4> fault_signals{SIGSEGV, SIGBUS, SIGILL, SIGFPE};
// The handler runs on its own stack, so that a fault from an exhausted stack still
// reaches it.
constexpr std::size_t handler_stack_size = 64 * 1024;

// Where the innermost running guard resumes after a fault; null outside guarded calls.
sigjmp_buf* volatile active_guard = nullptr;

extern "C" void on_fault(int signal_number) {
  if (sigjmp_buf* guard = active_guard) siglongjmp(*guard, signal_number);
  // Not from a guarded call: let the fault have its usual effect.
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// Installs the handlers and the alternate stack; puts everything back when it goes.
class FaultHandlers {
 public:
  FaultHandlers() : stack_(new char[handler_stack_size]) {
    stack_t ours{};
    ours.ss_sp = stack_.get();
    ours.ss_size = handler_stack_size;
    sigaltstack(&ours, &previous_stack_);
    struct sigaction action {};
    action.sa_handler = on_fault;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK;
    for (std::size_t i = 0; i < fault_signals.size(); ++i) {
      sigaction(fault_signals[i], &action, &previous_actions_[i]);
    }
  }
  ~FaultHandlers() {
    for (std::size_t i = 0; i < fault_signals.size(); ++i) {
      sigaction(fault_signals[i], &previous_actions_[i], nullptr);
    }
    sigaltstack(&previous_stack_, nullptr);
  }
  FaultHandlers(const FaultHandlers&) = delete;
  FaultHandlers& operator=(const FaultHandlers&) = delete;

 private:
  std::unique_ptr<char[]> stack_;
  stack_t previous_stack_{};
  std::array<struct sigaction, fault_signals.size()> previous_actions_{};
};

}  // namespace

bool call_guarded(void (*routine)(void*), void* context) noexcept {
  const FaultHandlers handlers;
  sigjmp_buf resume;
  sigjmp_buf* const outer = active_guard;
  volatile bool completed = false;
  // The saved signal mask is put back by siglongjmp: the handler leaves with the fault
  // signal still blocked otherwise.
  if (sigsetjmp(resume, 1) == 0) {
    active_guard = &resume;
    completed = fault_guard_detail::run_catching(routine, context);
  }
  active_guard = outer;
  return completed;
}

void call_library(void (*routine)(void*), void* context) {
  try {
    routine(context);
  } catch (...) {
    fault_guard_detail::raise_as_own(std::current_exception());
  }
}

}  // namespace platform
