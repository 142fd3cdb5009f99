#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>

#include "platform/fault_guard.hpp"

// A frame-based handler, registered in the thread's chain of exception records around the
// call, sees only what the library's own frames (inner ones, searched first) leave
// unhandled. It unwinds those frames with RtlUnwind and resumes the guard.

namespace {

// RtlUnwind on 32-bit Windows returns through the context it captured on entry, which
// holds only ESP, EBP and EIP: EBX, ESI and EDI come back zeroed (wine restores them).
// Microsoft's runtime saves them around the call for that reason, and so does this
// routine, with EBP, so that nothing its caller keeps in registers depends on RtlUnwind.
// Takes RtlUnwind's arguments: target frame, target address, exception record, value.
[[gnu::naked]] void __stdcall unwind_keeping_registers(void*, void*, EXCEPTION_RECORD*, void*) {
  asm(R"(
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl 20(%ebp)
    pushl 16(%ebp)
    pushl 12(%ebp)
    pushl 8(%ebp)
    call *__imp__RtlUnwind@16
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret $16
  )");
}
}  // namespace

namespace platform {
namespace {

// Microsoft's runtime throws a C++ exception as this code with three parameters: a magic
// number, the thrown object and the description of its type (ThrowInfo).
constexpr DWORD cpp_exception_code = 0xE06D7363;

bool is_cpp_exception(const EXCEPTION_RECORD& record) {
  if (record.ExceptionCode != cpp_exception_code || record.NumberParameters < 3) return false;
  const ULONG_PTR magic = record.ExceptionInformation[0];
  return magic == 0x19930520 || magic == 0x19930521 || magic == 0x19930522;
}

// The runtime's description of a thrown type, 32-bit layout (every pointer absolute).
struct TypeDescriptor {
  const void* type_info_table;
  void* spare;
  char name[1];  // decorated, NUL-terminated
};
struct CatchableType {
  unsigned properties;  // bit 0: a plain value or pointer, not an object
  const TypeDescriptor* type;
  int displacement;        // of this base in the thrown object
  int virtual_base_table;  // -1 unless the base is virtual
  int virtual_displacement;
  int size;
  const void* copy_function;
};
struct CatchableTypeArray {
  int count;
  const CatchableType* types[1];  // the thrown type first, then its bases
};
struct ThrowInfo {
  unsigned attributes;
  const void* destructor;  // __thiscall, or null
  const void* forward_compatibility;
  const CatchableTypeArray* catchable_types;
};
// std::exception as Microsoft's library lays it out: its table pointer, then its text.
struct StandardException {
  const void* table;
  const char* what;
};
using Destructor = void(__attribute__((thiscall)) *)(void*);

// What a library's exception structures claim is only read where memory is readable.
bool readable(const void* start, std::size_t size) {
  auto at = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t end = at + size;
  if (!start || end < at) return false;
  constexpr DWORD readable_pages = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                   PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                                   PAGE_EXECUTE_WRITECOPY;
  while (at < end) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region) == 0) return false;
    if (region.State != MEM_COMMIT || !(region.Protect & readable_pages) ||
        (region.Protect & PAGE_GUARD)) {
      return false;
    }
    at = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
  }
  return true;
}

bool has_name(const TypeDescriptor* type, const char* name) {
  const std::size_t size = std::strlen(name) + 1;
  return readable(type, offsetof(TypeDescriptor, name) + size) &&
         std::memcmp(type->name, name, size) == 0;
}

enum class Takes { cpp_exceptions, everything };

// What the guard learnt of a C++ exception it took.
struct Caught {
  bool cpp_exception = false;
  bool out_of_memory = false;
  char text[512] = {};
};

struct Guard {
  EXCEPTION_REGISTRATION_RECORD registration;  // first: the system hands its address back
  void* resume[5];                             // a __builtin_setjmp buffer
  Takes takes;
  bool resuming;
  Caught caught;
};

void copy_text(const char* text, Caught& caught) {
  for (std::size_t i = 0; i + 1 < sizeof caught.text; ++i) {
    if ((i == 0 || (reinterpret_cast<std::uintptr_t>(text + i) & 0xFFF) == 0) &&
        !readable(text + i, 1)) {
      return;
    }
    if (text[i] == '\0') return;
    caught.text[i] = text[i];
  }
}

// Reads the thrown object's type: std::bad_alloc, another std::exception (its text), or
// something else.
void describe(const EXCEPTION_RECORD& record, Caught& caught) {
  caught.cpp_exception = true;
  const auto* object = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
  const auto* info = reinterpret_cast<const ThrowInfo*>(record.ExceptionInformation[2]);
  if (!readable(info, sizeof *info)) return;
  const CatchableTypeArray* types = info->catchable_types;
  if (!readable(types, sizeof types->count) || types->count <= 0 || types->count > 64 ||
      !readable(types, offsetof(CatchableTypeArray, types) +
                           static_cast<std::size_t>(types->count) * sizeof(CatchableType*))) {
    return;
  }
  for (int i = 0; i < types->count; ++i) {
    const CatchableType* type = types->types[i];
    if (!readable(type, sizeof *type) || (type->properties & 1) || type->virtual_base_table != -1) {
      continue;
    }
    if (has_name(type->type, ".?AVbad_alloc@std@@")) {
      caught.out_of_memory = true;
      return;
    }
    if (has_name(type->type, ".?AVexception@std@@")) {
      const auto* base = reinterpret_cast<const StandardException*>(object + type->displacement);
      if (readable(base, sizeof *base)) copy_text(base->what, caught);
      return;
    }
  }
}

// As a catch does when it is done: the thrown object's destructor, while its frame's memory
// is still below the handler.
void destroy_thrown_object(const EXCEPTION_RECORD& record) {
  const auto* info = reinterpret_cast<const ThrowInfo*>(record.ExceptionInformation[2]);
  void* object = reinterpret_cast<void*>(record.ExceptionInformation[1]);
  if (object && readable(info, sizeof *info) && info->destructor) {
    reinterpret_cast<Destructor>(const_cast<void*>(info->destructor))(object);
  }
}

EXCEPTION_DISPOSITION NTAPI on_exception(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
    return ExceptionContinueSearch;
  }
  auto* guard = reinterpret_cast<Guard*>(frame);
  const bool cpp = is_cpp_exception(*record);
  if (guard->resuming) {
    // Raised while the guard was already resuming (by the thrown object's destructor):
    // that object is abandoned.
    unwind_keeping_registers(frame, nullptr, record, nullptr);
    __builtin_longjmp(guard->resume, 1);
  }
  if (!cpp && guard->takes == Takes::cpp_exceptions) return ExceptionContinueSearch;
  guard->resuming = true;
  if (cpp) describe(*record, guard->caught);
  unwind_keeping_registers(frame, nullptr, record, nullptr);
  if (cpp) destroy_thrown_object(*record);
  __builtin_longjmp(guard->resume, 1);
}

// The head of the thread's chain of exception records, at fs:[0].
EXCEPTION_REGISTRATION_RECORD* chain_head() {
  EXCEPTION_REGISTRATION_RECORD* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}
void set_chain_head(EXCEPTION_REGISTRATION_RECORD* head) {
  asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

// Calls body(context) under the guard's record. True when it returned normally. `body`
// must not raise. Kept apart so that the frame __builtin_setjmp saves holds no object
// with a destructor.
[[gnu::noinline]] bool run_resumable(Takes takes, void (*body)(void*), void* context,
                                     Caught& caught) noexcept {
  Guard guard{};
  guard.takes = takes;
  guard.registration.Next = chain_head();
  guard.registration.Handler = on_exception;
  volatile bool completed = false;
  std::uint16_t x87_control;
  asm volatile("fnstcw %0" : "=m"(x87_control));
  if (__builtin_setjmp(guard.resume) == 0) {
    set_chain_head(&guard.registration);
    body(context);
    completed = true;
  }
  // After a resume the chain may still hold the records of the system's dispatcher.
  set_chain_head(guard.registration.Next);
  if (!completed) {
    // The library's computation stopped midway: its x87 registers still in use, and its
    // precision, rounding or unmasked exceptions in force.
    asm volatile("fninit\n\tfldcw %0" : : "m"(x87_control));
  }
  caught = guard.caught;
  return completed;
}

struct LibraryCall {
  void (*routine)(void*);
  void* context;
  std::exception_ptr raised;  // a C++ exception of the program's own runtime
};

}  // namespace

bool call_guarded(void (*routine)(void*), void* context) noexcept {
  struct Call {
    void (*routine)(void*);
    void* context;
    bool completed;
  } call{routine, context, false};
  Caught caught;
  const bool returned = run_resumable(
      Takes::everything,
      [](void* state) {
        auto& call = *static_cast<Call*>(state);
        call.completed = fault_guard_detail::run_catching(call.routine, call.context);
      },
      &call, caught);
  return returned && call.completed;
}

void call_library(void (*routine)(void*), void* context) {
  LibraryCall call{routine, context, nullptr};
  Caught caught;
  const bool returned = run_resumable(
      Takes::cpp_exceptions,
      [](void* state) {
        auto& call = *static_cast<LibraryCall*>(state);
        try {
          call.routine(call.context);
        } catch (...) {
          call.raised = std::current_exception();
        }
      },
      &call, caught);
  if (call.raised) fault_guard_detail::raise_as_own(call.raised);
  if (returned) return;
  if (caught.out_of_memory) throw std::bad_alloc();
  throw LibraryException(caught.text[0] ? caught.text : library_exception_text);
}

}  // namespace platform
