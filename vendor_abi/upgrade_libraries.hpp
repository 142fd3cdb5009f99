// The phone maker's libraries as the vendor built them: the web-download library
// Inf_WebDnld.dll and the upgrade library LGMUpgradeDL.dll, Microsoft-built 32-bit code.
// Their exports are __cdecl. Their internal routines are not exported: they lie at fixed
// distances from an export in the one build of each library that the program works with,
// and are __cdecl, although nothing tells for sure (see platform/stack_balanced_call.hpp).
#pragma once

#include <cstdint>

#include "vendor_abi/calling_convention.hpp"
#include "vendor_abi/cstring.hpp"

namespace vendor_abi {

// Inf_WebDnld.dll: two unpack routines below its export _StartUpgrade, each taking (library
// path, WDB path, software version, package kind, result text), every one a CString by
// value.
inline constexpr std::uintptr_t first_unpack_distance = 19744;   // below _StartUpgrade
inline constexpr std::uintptr_t second_unpack_distance = 18886;  // below _StartUpgrade
using UnpackRoutine = void(KORVANTA_CDECL*)(CStringArgument, CStringArgument, CStringArgument,
                                            CStringArgument, CStringArgument);

// LGMUpgradeDL.dll: the KDZ extraction entry above its export dll_StartUpgrade, taking (the
// address of the result text, the KDZ path as a CString by value).
inline constexpr std::uintptr_t kdz_entry_distance = 29408;  // above dll_StartUpgrade
using KdzExtractionEntry = void(KORVANTA_CDECL*)(CString*, CStringArgument);

// LGMUpgradeDL.dll's exports: the upgrade, and the 21 parameter texts it runs with.
using StartUpgrade = void KORVANTA_CDECL();
using SetParam = int KORVANTA_CDECL(const char*, const char*, const char*, const char*, const char*,
                                    const char*, const char*, const char*, const char*, const char*,
                                    const char*, const char*, const char*, const char*, const char*,
                                    const char*, const char*, const char*, const char*, const char*,
                                    const char*);

}  // namespace vendor_abi
