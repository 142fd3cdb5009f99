// Functions whose loops vectorise only with instructions beyond the processor's baseline
// (the byte shuffles of SSSE3 and later): the compiler makes one copy of the function for
// the baseline and one for x86-64-v2 (SSSE3, SSE4.2, POPCNT), with every call inside it
// inlined into each copy, and the loader picks the copy the running processor can execute
// when the program starts. Where the toolchain cannot pick at load time (Windows, other
// compilers) the function is compiled once, for the baseline, and behaves the same.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define KORVANTA_SIMD_CLONES __attribute__((target_clones("default", "arch=x86-64-v2"), flatten))
#else
#define KORVANTA_SIMD_CLONES
#endif
