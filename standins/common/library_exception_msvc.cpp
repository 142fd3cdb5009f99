// Raised as Microsoft's 32-bit runtime throws: RaiseException(0xE06D7363, non-continuable,
// {magic, object, ThrowInfo}), where ThrowInfo describes the object's type and bases. Built
// both by clang for Microsoft's ABI and by MinGW, so it declares what it uses itself.
#include <stddef.h>
#include <stdint.h>

#include "standins/common/library_exception.hpp"

extern "C" __declspec(dllimport) void __stdcall RaiseException(unsigned long code,
                                                               unsigned long flags,
                                                               unsigned long count,
                                                               const uintptr_t* parameters);

namespace standin {
namespace {

constexpr unsigned long cpp_exception_code = 0xE06D7363;
constexpr unsigned long noncontinuable = 1;
constexpr uintptr_t cpp_magic = 0x19930520;

// The thrown object: a std::runtime_error as Microsoft's library lays it out (table
// pointer, text, whether to free the text), with what this stand-in keeps beside it.
struct Thrown {
  const void* table;
  const char* what;
  int free_text;
  void (*destroyed)();
  char text[256];
};

void __thiscall destroy(Thrown* self) {
  if (self->destroyed) self->destroyed();
}

struct TypeDescriptor {
  const void* type_info_table;
  void* spare;
  char name[24];
};
struct CatchableType {
  unsigned properties;
  const TypeDescriptor* type;
  int displacement;
  int virtual_base_table;
  int virtual_displacement;
  int size;
  const void* copy_function;
};
struct CatchableTypeArray {
  int count;
  const CatchableType* types[2];
};
struct ThrowInfo {
  unsigned attributes;
  const void* destructor;
  const void* forward_compatibility;
  const CatchableTypeArray* catchable_types;
};

const TypeDescriptor runtime_error_type{nullptr, nullptr, ".?AVruntime_error@std@@"};
const TypeDescriptor exception_type{nullptr, nullptr, ".?AVexception@std@@"};
const CatchableType as_runtime_error{0, &runtime_error_type, 0, -1, 0, sizeof(Thrown), nullptr};
const CatchableType as_exception{0, &exception_type, 0, -1, 0, sizeof(Thrown), nullptr};
const CatchableTypeArray catchable_types{2, {&as_runtime_error, &as_exception}};
const ThrowInfo throw_info{0, reinterpret_cast<const void*>(&destroy), nullptr, &catchable_types};

}  // namespace

void raise_library_exception(const char* text, void (*destroyed)()) {
  Thrown object{nullptr, nullptr, 0, destroyed, {}};
  size_t length = 0;
  for (; text[length] && length + 1 < sizeof object.text; ++length)
    object.text[length] = text[length];
  object.text[length] = '\0';
  object.what = object.text;
  const uintptr_t parameters[3] = {cpp_magic, reinterpret_cast<uintptr_t>(&object),
                                   reinterpret_cast<uintptr_t>(&throw_info)};
  RaiseException(cpp_exception_code, noncontinuable, 3, parameters);
  // A non-continuable exception never comes back.
  __builtin_trap();
}

}  // namespace standin
