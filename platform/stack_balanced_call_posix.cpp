#include <stdexcept>

#include "platform/stack_balanced_call.hpp"

namespace platform {

// Outside 32-bit x86 there is one calling convention, and the caller always owns the
// stack: the routine is called with its words as they are.
void call_with_words(const void* routine, const std::uintptr_t* words, std::size_t count) {
  using Word = std::uintptr_t;
  const auto* w = words;
  // Code is not data: clang refuses to cast a pointer to const data to a function pointer.
  void* const code = const_cast<void*>(routine);
  switch (count) {
    case 0:
      return reinterpret_cast<void (*)()>(code)();
    case 1:
      return reinterpret_cast<void (*)(Word)>(code)(w[0]);
    case 2:
      return reinterpret_cast<void (*)(Word, Word)>(code)(w[0], w[1]);
    case 3:
      return reinterpret_cast<void (*)(Word, Word, Word)>(code)(w[0], w[1], w[2]);
    case 4:
      return reinterpret_cast<void (*)(Word, Word, Word, Word)>(code)(w[0], w[1], w[2], w[3]);
    case 5:
      return reinterpret_cast<void (*)(Word, Word, Word, Word, Word)>(code)(w[0], w[1], w[2], w[3],
                                                                            w[4]);
    case 6:
      return reinterpret_cast<void (*)(Word, Word, Word, Word, Word, Word)>(code)(w[0], w[1], w[2],
                                                                                  w[3], w[4], w[5]);
    default:
      throw std::invalid_argument("call_with_words: more than six words");
  }
}

}  // namespace platform
