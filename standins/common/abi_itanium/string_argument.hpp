// The Itanium C++ ABI would pass a class with a copy constructor by hidden reference and
// destroy it in the caller. These stand-ins take a CString argument as a Microsoft-built
// callee does instead: its character pointer in the argument slot, a reference that the
// callee owns and releases.
#pragma once

#include "standins/common/framework_string.hpp"

struct CStringArg {
  char* characters;
};

inline CString received(CStringArg argument) {
  return CString::Adopt(argument.characters);
}
