// One byte at a time into a C file stream at the cost of a store into its buffer. The image
// library writes a BMP a byte per std::fputc call: a call into the C library, and on
// Windows a lock taken and released, for each of a frame picture's 230,454 bytes.
#pragma once

#include <cstdio>

namespace platform {

// Writes `byte` to `file` as std::fputc does: the same bytes reach the file, and the result
// is the byte written or EOF when the stream's buffer cannot be flushed. The stream's lock is
// not taken: only the thread that owns `file` may use it meanwhile. Where the C library has
// inline unlocked output (POSIX putc_unlocked, Microsoft's _putc_nolock) this is that;
// elsewhere it is std::fputc itself.
inline int put_byte(int byte, std::FILE* file) {
#if defined(_WIN32)
  return _putc_nolock(byte, file);
#elif defined(__unix__) || defined(__APPLE__)
  return putc_unlocked(byte, file);
#else
  return std::fputc(byte, file);
#endif
}

}  // namespace platform
