// What the stand-ins need of the system, in the same words on every platform: the C
// library on POSIX; kernel32 on Windows, where the stand-ins are built as Microsoft-built
// libraries without a C runtime.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "standins/common/framework_string.hpp"

namespace standin {

void* allocate(size_t bytes);  // null when there is no memory
void* reallocate(void* block, size_t bytes);
void release(void* block);
void copy_bytes(void* target, const void* source, size_t count);
size_t text_length(const char* text);

// The value of an environment variable; empty when it is not set.
CString environment(const char* name);

// An open file, closed when it goes.
class File {
 public:
  static File open_for_reading(const char* path);
  static File create(const char* path);  // truncates
  static File open_for_appending(const char* path);
  File(File&& other) : handle_(other.handle_) { other.handle_ = nullptr; }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { close(); }

  bool is_open() const { return handle_ != nullptr; }
  // The bytes read, fewer only at the end of the file or on an error.
  size_t read(void* buffer, size_t count);
  bool write(const void* bytes, size_t count);
  bool seek(uint64_t offset);
  // False when the last writes did not reach the file.
  bool close();

 private:
  explicit File(void* handle) : handle_(handle) {}
  void* handle_;
};

// The size of the regular file at `path`; false when there is none.
bool regular_file_size(const char* path, uint64_t& bytes);

// Makes the folder, whose parent exists; true when it exists afterwards.
bool make_folder(const char* path);

// Writes to address 0: a processor fault for the caller's guard to contain.
void write_to_null();

// Calls body(context), then cleanup(context) as the body's frame goes, also when an
// exception unwinds it: from a C++ destructor, or on Windows from a __finally block.
void call_with_cleanup(void (*body)(void*), void (*cleanup)(void*), void* context);

// Faults inside a handler of the library's own, which takes the fault, and goes on. True
// when the fault happened and was handled.
bool fault_and_handle_it();

// This library's file name, for its "load" and "unload" lines; each stand-in defines it.
extern const char* const library_file_name;

}  // namespace standin
