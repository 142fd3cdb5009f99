// Containment of what a call into an outside library raises.
//
// call_guarded contains everything that the library leaves unhandled: a processor fault
// (an access violation, a bad instruction, a division by zero), a C++ exception, and on
// Windows any other exception raised with RaiseException. It ends only the call, and the
// caller goes on with its next step. A fault or exception that the library handles in its
// own frames stays the library's, and the call goes on.
//
// A contained fault leaves the call where it happened: what the library had allocated or
// locked on the way stays as it was. The library's frames are unwound before the guard
// returns, so their own clean-up runs where the library registered one. The guard undoes
// its own arrangements (handlers, alternate stack, signal mask) before it returns, so a
// fault after the guard ends the program as it would have without it. Guards may nest;
// one thread only.
//
// call_library does not contain faults: it turns a C++ exception that escapes the library,
// also one that Microsoft's runtime raised, into a failure of the program's own, raised
// after the library's frames are unwound. The object the library threw is destroyed
// before call_library returns, while the library is still loaded.
#pragma once

#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>

namespace platform {

// Calls routine(context). True when it returned normally; false when it faulted or
// raised anything. Never raises.
bool call_guarded(void (*routine)(void*), void* context) noexcept;

// A C++ exception that a library raised and did not handle: its text is the library's
// own (the text of a standard exception) or library_exception_text.
class LibraryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text of a LibraryException for an exception that carries none.
inline constexpr const char* library_exception_text =
    "The library raised an exception it did not handle";

// Calls routine(context), which calls into a library and does nothing else. A C++
// exception escaping it is raised as LibraryException, or as std::bad_alloc when it told
// of exhausted memory. A processor fault is not contained.
void call_library(void (*routine)(void*), void* context);

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

// Raises what a library call raised as the program's own failure, whose text and type
// information do not live in the library's image.
[[noreturn]] inline void raise_as_own(const std::exception_ptr& raised) {
  try {
    std::rethrow_exception(raised);
  } catch (const std::bad_alloc&) {
    throw std::bad_alloc();
  } catch (const std::exception& failure) {
    throw LibraryException(failure.what());
  } catch (...) {
    throw LibraryException(library_exception_text);
  }
}

// Calls the callable that `context` points to, through a pointer to it (`Target*`).
template <typename Target>
void call_target(void* context) {
  (**static_cast<Target**>(context))();
}

}  // namespace fault_guard_detail

// The same for any callable without arguments.
template <typename Callable>
bool call_guarded(Callable&& callable) noexcept {
  auto* target = std::addressof(callable);
  return call_guarded(fault_guard_detail::call_target<std::remove_pointer_t<decltype(target)>>,
                      static_cast<void*>(&target));
}

// The same for a callable that calls one library entry point; gives what it returns.
template <typename Callable>
auto call_library(Callable&& callable) -> std::invoke_result_t<Callable&> {
  using Result = std::invoke_result_t<Callable&>;
  if constexpr (std::is_void_v<Result>) {
    auto* target = std::addressof(callable);
    call_library(fault_guard_detail::call_target<std::remove_pointer_t<decltype(target)>>,
                 static_cast<void*>(&target));
  } else {
    Result result{};
    call_library([&] { result = callable(); });
    return result;
  }
}

}  // namespace platform
