// A C++ exception raised the way the platform's compiler raises one: on Windows as
// Microsoft's runtime does (exception code 0xE06D7363 with a std::runtime_error laid out
// as Microsoft's library lays it out), elsewhere as a std::runtime_error.
#pragma once

namespace standin {

// Raises an exception whose what() is `text`. `destroyed` (may be null) is called when
// whoever caught it destroys the thrown object.
[[noreturn]] void raise_library_exception(const char* text, void (*destroyed)());

}  // namespace standin
