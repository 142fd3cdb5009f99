// A call into a routine of an outside library whose calling convention nothing states. It
// is called as __cdecl, and the stack pointer is put back after it returns, so that a
// routine that removed its own arguments (__stdcall) still returns to a caller in order.
// The arguments are word-sized values (pointers, CString argument slots).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "vendor_abi/calling_convention.hpp"

namespace platform {

// Pushes `count` words, the first one last (so that it lies nearest the return address),
// calls `routine` and restores the stack pointer. Whatever the routine raises or faults
// with passes on as it is.
void call_with_words(const void* routine, const std::uintptr_t* words, std::size_t count);

// The same for a routine whose type the caller states.
template <typename... Parameters>
void call_restoring_stack(void(KORVANTA_CDECL* routine)(Parameters...),
                          std::type_identity_t<Parameters>... arguments) {
  static_assert(((sizeof(Parameters) == sizeof(std::uintptr_t) &&
                  std::is_trivially_copyable_v<Parameters>)&&...),
                "every argument fills one word of the stack");
  const std::array<std::uintptr_t, sizeof...(Parameters)> words{
      std::bit_cast<std::uintptr_t>(arguments)...};
  call_with_words(reinterpret_cast<const void*>(routine), words.data(), words.size());
}

}  // namespace platform
