// The system as a Microsoft-built library without a C runtime has it: kernel32 only.
// Built both by clang for Microsoft's ABI and by MinGW, so it declares what it uses itself.
#include <stddef.h>
#include <stdint.h>

#include "standins/common/system.hpp"

extern "C" {
__declspec(dllimport) void* __stdcall GetProcessHeap();
__declspec(dllimport) void* __stdcall HeapAlloc(void* heap, unsigned long flags, size_t bytes);
__declspec(dllimport) void* __stdcall HeapReAlloc(void* heap, unsigned long flags, void* block,
                                                  size_t bytes);
__declspec(dllimport) int __stdcall HeapFree(void* heap, unsigned long flags, void* block);
__declspec(dllimport) unsigned long __stdcall GetEnvironmentVariableA(const char* name,
                                                                      char* buffer,
                                                                      unsigned long size);
__declspec(dllimport) void* __stdcall CreateFileA(const char* path, unsigned long access,
                                                  unsigned long sharing, void* security,
                                                  unsigned long disposition,
                                                  unsigned long attributes, void* template_file);
__declspec(dllimport) int __stdcall ReadFile(void* file, void* buffer, unsigned long count,
                                             unsigned long* done, void* overlapped);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* bytes, unsigned long count,
                                              unsigned long* done, void* overlapped);
__declspec(dllimport) int __stdcall SetFilePointerEx(void* file, long long distance,
                                                     long long* position, unsigned long method);
__declspec(dllimport) int __stdcall GetFileSizeEx(void* file, long long* size);
__declspec(dllimport) int __stdcall CloseHandle(void* handle);
__declspec(dllimport) int __stdcall CreateDirectoryA(const char* path, void* security);
__declspec(dllimport) unsigned long __stdcall GetFileAttributesA(const char* path);
}

namespace standin {
namespace {

constexpr unsigned long generic_read = 0x80000000;
constexpr unsigned long generic_write = 0x40000000;
constexpr unsigned long append_data = 0x4;
constexpr unsigned long share_all = 0x7;  // read, write, delete
constexpr unsigned long create_always = 2;
constexpr unsigned long open_existing = 3;
constexpr unsigned long open_always = 4;
constexpr unsigned long normal_file = 0x80;
constexpr unsigned long directory_attribute = 0x10;
constexpr unsigned long no_attributes = 0xFFFFFFFF;
void* const invalid_handle = reinterpret_cast<void*>(~uintptr_t{0});
// Reads and writes go in pieces that a 32-bit count holds.
constexpr size_t largest_piece = 1u << 30;

void* open(const char* path, unsigned long access, unsigned long disposition) {
  if (!path || !*path) return nullptr;
  void* handle = CreateFileA(path, access, share_all, nullptr, disposition, normal_file, nullptr);
  return handle == invalid_handle ? nullptr : handle;
}

// Read through a volatile object so that the compiler cannot see the null.
volatile uintptr_t nowhere = 0;

}  // namespace

void* allocate(size_t bytes) {
  return HeapAlloc(GetProcessHeap(), 0, bytes);
}
void* reallocate(void* block, size_t bytes) {
  return block ? HeapReAlloc(GetProcessHeap(), 0, block, bytes) : allocate(bytes);
}
void release(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

void copy_bytes(void* target, const void* source, size_t count) {
  auto* to = static_cast<volatile unsigned char*>(target);
  const auto* from = static_cast<const unsigned char*>(source);
  if (to < from) {
    for (size_t i = 0; i < count; ++i) to[i] = from[i];
  } else {
    for (size_t i = count; i > 0; --i) to[i - 1] = from[i - 1];
  }
}

size_t text_length(const char* text) {
  size_t length = 0;
  while (text[length]) ++length;
  return length;
}

CString environment(const char* name) {
  const unsigned long size = GetEnvironmentVariableA(name, nullptr, 0);
  if (size == 0) return CString();
  auto* value = static_cast<char*>(allocate(size));
  if (!value) return CString();
  CString text;
  if (GetEnvironmentVariableA(name, value, size) + 1 == size) text = value;
  release(value);
  return text;
}

File File::open_for_reading(const char* path) {
  return File(open(path, generic_read, open_existing));
}
File File::create(const char* path) {
  return File(open(path, generic_write, create_always));
}
File File::open_for_appending(const char* path) {
  return File(open(path, append_data, open_always));
}

size_t File::read(void* buffer, size_t count) {
  size_t total = 0;
  while (handle_ && total < count) {
    const size_t piece = count - total < largest_piece ? count - total : largest_piece;
    unsigned long done = 0;
    if (!ReadFile(handle_, static_cast<char*>(buffer) + total, static_cast<unsigned long>(piece),
                  &done, nullptr) ||
        done == 0) {
      break;
    }
    total += done;
  }
  return total;
}

bool File::write(const void* bytes, size_t count) {
  size_t total = 0;
  while (handle_ && total < count) {
    const size_t piece = count - total < largest_piece ? count - total : largest_piece;
    unsigned long done = 0;
    if (!WriteFile(handle_, static_cast<const char*>(bytes) + total,
                   static_cast<unsigned long>(piece), &done, nullptr) ||
        done == 0) {
      return false;
    }
    total += done;
  }
  return handle_ != nullptr;
}

bool File::seek(uint64_t offset) {
  return handle_ && offset < (uint64_t{1} << 63) &&
         SetFilePointerEx(handle_, static_cast<long long>(offset), nullptr, 0);
}

bool File::close() {
  if (!handle_) return true;
  const bool closed = CloseHandle(handle_) != 0;
  handle_ = nullptr;
  return closed;
}

bool regular_file_size(const char* path, uint64_t& bytes) {
  // A folder does not open without backup semantics.
  void* file = open(path, generic_read, open_existing);
  long long size = 0;
  const bool known = file && GetFileSizeEx(file, &size);
  if (file) CloseHandle(file);
  bytes = static_cast<uint64_t>(size);
  return known;
}

bool make_folder(const char* path) {
  if (CreateDirectoryA(path, nullptr)) return true;
  const unsigned long attributes = GetFileAttributesA(path);
  return attributes != no_attributes && (attributes & directory_attribute);
}

void write_to_null() {
  *reinterpret_cast<volatile int*>(nowhere) = 1;
}

}  // namespace standin
