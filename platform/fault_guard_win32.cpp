#include <windows.h>

#include "platform/fault_guard.hpp"

namespace platform {
namespace {

// A __builtin_setjmp buffer: five words. The builtin pair does not unwind through the
// system's frames the way the C library's longjmp does, which is what leaving a vectored
// exception handler needs.
using ResumePoint = void* [5];

// Where the innermost running guard resumes after a fault; null outside guarded calls.
ResumePoint* volatile active_guard = nullptr;

bool is_processor_fault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_STACK_CHECK:
      return true;
    default:
      // C++ exceptions and the system's own notifications pass on untouched.
      return false;
  }
}

LONG CALLBACK on_exception(EXCEPTION_POINTERS* information) {
  ResumePoint* guard = active_guard;
  if (!guard || !is_processor_fault(information->ExceptionRecord->ExceptionCode)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  __builtin_longjmp(*guard, 1);
}

// Registers the handler first in line; removes it when it goes.
class VectoredHandler {
 public:
  VectoredHandler() : handle_(AddVectoredExceptionHandler(1, on_exception)) {}
  ~VectoredHandler() {
    if (handle_) RemoveVectoredExceptionHandler(handle_);
  }
  VectoredHandler(const VectoredHandler&) = delete;
  VectoredHandler& operator=(const VectoredHandler&) = delete;

 private:
  void* handle_;
};

// Kept apart from call_guarded so that the frame __builtin_setjmp saves holds no object
// with a destructor.
[[gnu::noinline]] bool run_resumable(void (*routine)(void*), void* context) noexcept {
  ResumePoint resume;
  ResumePoint* const outer = active_guard;
  volatile bool completed = false;
  if (__builtin_setjmp(resume) == 0) {
    active_guard = &resume;
    completed = fault_guard_detail::run_catching(routine, context);
  }
  active_guard = outer;
  return completed;
}

}  // namespace

bool call_guarded(void (*routine)(void*), void* context) noexcept {
  const VectoredHandler handler;
  return run_resumable(routine, context);
}

}  // namespace platform
