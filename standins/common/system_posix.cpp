#include <setjmp.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "standins/common/system.hpp"

namespace standin {
namespace {

FILE* stream(void* handle) {
  return static_cast<FILE*>(handle);
}

// Read through a volatile object so that the compiler cannot see the null and replace
// the access by a trap instruction: the fault must be a real invalid memory access.
volatile uintptr_t nowhere = 0;

sigjmp_buf* volatile own_handler_resume = nullptr;

extern "C" void on_own_fault(int) {
  siglongjmp(*own_handler_resume, 1);
}

}  // namespace

void* allocate(size_t bytes) {
  return malloc(bytes);
}
void* reallocate(void* block, size_t bytes) {
  return realloc(block, bytes);
}
void release(void* block) {
  free(block);
}
void copy_bytes(void* target, const void* source, size_t count) {
  if (count > 0) memmove(target, source, count);
}
size_t text_length(const char* text) {
  return strlen(text);
}

CString environment(const char* name) {
  return getenv(name);
}

File File::open_for_reading(const char* path) {
  return File(fopen(path, "rb"));
}
File File::create(const char* path) {
  return File(fopen(path, "wb"));
}
File File::open_for_appending(const char* path) {
  return File(fopen(path, "ab"));
}

size_t File::read(void* buffer, size_t count) {
  return handle_ ? fread(buffer, 1, count, stream(handle_)) : 0;
}
bool File::write(const void* bytes, size_t count) {
  return handle_ && fwrite(bytes, 1, count, stream(handle_)) == count;
}
bool File::seek(uint64_t offset) {
  return handle_ && fseeko(stream(handle_), static_cast<off_t>(offset), SEEK_SET) == 0;
}
bool File::close() {
  if (!handle_) return true;
  const bool closed = fclose(stream(handle_)) == 0;
  handle_ = nullptr;
  return closed;
}

bool regular_file_size(const char* path, uint64_t& bytes) {
  struct stat status;
  if (stat(path, &status) != 0 || !S_ISREG(status.st_mode)) return false;
  bytes = static_cast<uint64_t>(status.st_size);
  return true;
}

bool make_folder(const char* path) {
  struct stat status;
  if (mkdir(path, 0777) == 0) return true;
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

// The undefined-behaviour sanitizer would report the store and stop the program before the
// fault that the caller's guard is there to contain. It stays a function of its own, which
// Valgrind's suppressions name.
__attribute__((no_sanitize("undefined"), noinline)) void write_to_null() {
  *reinterpret_cast<volatile int*>(nowhere) = 1;
}

void call_with_cleanup(void (*body)(void*), void (*cleanup)(void*), void* context) {
  struct Cleanup {
    void (*run)(void*);
    void* context;
    ~Cleanup() { run(context); }
  } const on_the_way_out{cleanup, context};
  body(context);
}

bool fault_and_handle_it() {
  struct sigaction ours {};
  struct sigaction previous {};
  ours.sa_handler = on_own_fault;
  sigemptyset(&ours.sa_mask);
  sigaction(SIGSEGV, &ours, &previous);
  sigjmp_buf resume;
  sigjmp_buf* const outer = own_handler_resume;
  volatile bool handled = false;
  if (sigsetjmp(resume, 1) == 0) {
    own_handler_resume = &resume;
    write_to_null();
  } else {
    handled = true;
  }
  own_handler_resume = outer;
  sigaction(SIGSEGV, &previous, nullptr);
  return handled;
}

}  // namespace standin
