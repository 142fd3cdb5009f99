// The calling conventions of the vendor's libraries, which are 32-bit x86 code built with
// Microsoft's compiler:
//   KORVANTA_CDECL     arguments on the stack, removed by the caller (the exports and the
//                      unexported routines of the phone maker's libraries);
//   KORVANTA_THISCALL  the object in ECX, the other arguments on the stack, removed by the
//                      callee (the framework's string manager).
// On every other target there is one convention, and both words mean nothing.
#pragma once

#if defined(__i386__)
#define KORVANTA_CDECL __attribute__((cdecl))
#define KORVANTA_THISCALL __attribute__((thiscall))
#else
#define KORVANTA_CDECL
#define KORVANTA_THISCALL
#endif
