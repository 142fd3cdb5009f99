// KORVANTA_STANDIN_RTLUNWIND=windows: the program's RtlUnwind behaves as Windows' own.
// Windows' RtlUnwind returns through the context it captured on entry, with EBX, ESI and
// EDI zeroed; wine's restores them, so a program that keeps a value in one of them across
// the call works under wine and crashes on Windows. The program's import of RtlUnwind is
// pointed at a routine that calls the real one, then zeroes the three registers. The
// routine lives in memory of its own, never released, so the import stays valid after the
// stand-in that set it is released; it is set once per process.
//
// Built for Microsoft's ABI without a C runtime: it declares what it uses of kernel32 and
// reads the program's image by its offsets.
#include <stdint.h>

#include "standins/common/system.hpp"

extern "C" {
__declspec(dllimport) void* __stdcall GetModuleHandleA(const char* name);
__declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* name);
__declspec(dllimport) void* __stdcall VirtualAlloc(void* at, unsigned long size, unsigned long type,
                                                   unsigned long protection);
__declspec(dllimport) int __stdcall VirtualProtect(void* at, unsigned long size,
                                                   unsigned long protection,
                                                   unsigned long* previous);
}

namespace standin {
namespace {

constexpr unsigned long mem_commit_reserve = 0x3000;
constexpr unsigned long page_execute_readwrite = 0x40;
constexpr unsigned long page_readwrite = 0x04;

uint32_t read32(const uint8_t* at) {
  return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

bool same_text(const char* a, const char* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

// The program's import slot of RtlUnwind (by name, from whichever library), or null.
void** rtl_unwind_slot() {
  auto* image = static_cast<uint8_t*>(GetModuleHandleA(nullptr));
  const uint32_t pe = read32(image + 0x3C);
  // PE32: the import directory is the second entry of the optional header's directories.
  const uint32_t imports = read32(image + pe + 24 + 104);
  if (imports == 0) return nullptr;
  for (const uint8_t* library = image + imports; read32(library + 12) != 0; library += 20) {
    const uint32_t names = read32(library) ? read32(library) : read32(library + 16);
    const uint32_t slots = read32(library + 16);
    for (uint32_t i = 0;; ++i) {
      const uint32_t name = read32(image + names + 4 * i);
      if (name == 0) break;
      if (name & 0x80000000u) continue;  // by ordinal
      if (same_text(reinterpret_cast<const char*>(image + name + 2), "RtlUnwind")) {
        return reinterpret_cast<void**>(image + slots + 4 * i);
      }
    }
  }
  return nullptr;
}

}  // namespace

void imitate_windows_unwind_if_asked() {
  if (!(environment("KORVANTA_STANDIN_RTLUNWIND") == "windows")) return;
  void** slot = rtl_unwind_slot();
  void* real = GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlUnwind");
  if (!slot || !real || *slot != real) return;  // none, or set already
  auto* code =
      static_cast<uint8_t*>(VirtualAlloc(nullptr, 64, mem_commit_reserve, page_execute_readwrite));
  if (!code) return;
  // push [esp+16] four times (the four arguments, in order); call [real]; xor ebx, ebx;
  // xor esi, esi; xor edi, edi; ret 16. The address of the real routine follows the code.
  const uint8_t routine[] = {0xFF, 0x74, 0x24, 0x10, 0xFF, 0x74, 0x24, 0x10, 0xFF, 0x74, 0x24,
                             0x10, 0xFF, 0x74, 0x24, 0x10, 0xFF, 0x15, 0,    0,    0,    0,
                             0x31, 0xDB, 0x31, 0xF6, 0x31, 0xFF, 0xC2, 0x10, 0x00};
  constexpr uint32_t real_at = 32;
  copy_bytes(code, routine, sizeof routine);
  const auto real_address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(code + real_at));
  copy_bytes(code + 18, &real_address, sizeof real_address);
  copy_bytes(code + real_at, &real, sizeof real);
  unsigned long previous = 0;
  if (!VirtualProtect(slot, sizeof *slot, page_readwrite, &previous)) return;
  *slot = code;
  VirtualProtect(slot, sizeof *slot, previous, &previous);
}

}  // namespace standin
