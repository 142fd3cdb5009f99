// Containment of a call into an outside library: a processor fault inside the call (an
// access violation, a bad instruction, a division by zero) or a C++ exception escaping
// it ends only the call, and the caller goes on with its next step.
//
// A fault leaves the call where it happened: whatever the library had allocated or
// locked on the way stays as it was, and objects of the abandoned frames are not
// destroyed. The guard undoes its own arrangements (fault handlers, alternate stack,
// signal mask) before it returns, so a fault after the guard ends the program as it
// would have without it. Guards may nest; one thread only.
#pragma once

#include <memory>

namespace platform {

// Calls routine(context). True when it returned normally; false when it faulted or
// raised anything. Never raises.
bool call_guarded(void (*routine)(void*), void* context) noexcept;

namespace fault_guard_detail {

// Calls the routine and catches what it raises: true when it returned normally. Out of
// line, so that no exception handling shares the frame that the guard resumes into.
[[gnu::noinline]] inline bool run_catching(void (*routine)(void*), void* context) noexcept {
  try {
    routine(context);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace fault_guard_detail

// The same for any callable without arguments.
template <typename Callable>
bool call_guarded(Callable&& callable) noexcept {
  auto* target = std::addressof(callable);
  return call_guarded([](void* context) { (**static_cast<decltype(target)*>(context))(); },
                      static_cast<void*>(&target));
}

}  // namespace platform
