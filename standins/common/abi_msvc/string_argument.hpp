// Microsoft's ABI passes a CString by value as the object itself, in its argument slot,
// and the callee destroys it: the compiler applies the framework's rules by itself.
#pragma once

#include "standins/common/framework_string.hpp"

using CStringArg = CString;

inline const CString& received(const CString& argument) {
  return argument;
}
