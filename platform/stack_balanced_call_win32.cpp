#include "platform/stack_balanced_call.hpp"

// (routine, words, count), __cdecl. The frame pointer keeps the stack pointer of the call:
// whatever the routine took off the stack (or left on it) is put back from there.
extern "C" void korvanta_call_with_words(const void* routine, const std::uintptr_t* words,
                                         std::size_t count);
asm(R"(
        .text
        .globl  _korvanta_call_with_words
        .def    _korvanta_call_with_words; .scl 2; .type 32; .endef
_korvanta_call_with_words:
        pushl   %ebp
        movl    %esp, %ebp
        movl    12(%ebp), %edx
        movl    16(%ebp), %ecx
1:      testl   %ecx, %ecx
        jz      2f
        pushl   -4(%edx,%ecx,4)
        decl    %ecx
        jmp     1b
2:      calll   *8(%ebp)
        movl    %ebp, %esp
        popl    %ebp
        ret
)");

namespace platform {

void call_with_words(const void* routine, const std::uintptr_t* words, std::size_t count) {
  korvanta_call_with_words(routine, words, count);
}

}  // namespace platform
