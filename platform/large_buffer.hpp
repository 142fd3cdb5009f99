// A buffer for one large transfer, taken straight from the system rather than the heap.
// Where the system allows, it is backed by 2 MiB pages: the first touch of a fresh 20 MiB
// buffer then costs ten page faults instead of five thousand, which is most of the time
// of reading a large file into it.
#pragma once

#include <cstddef>

namespace platform {

class LargeBuffer {
 public:
  // A buffer of `size` bytes whose contents are unspecified; raises std::bad_alloc when
  // the system cannot provide it. The memory is returned with the object.
  explicit LargeBuffer(std::size_t size);
  ~LargeBuffer();
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;

  char* data() { return data_; }
  std::size_t size() const { return size_; }

 private:
  void* mapping_ = nullptr;  // what was taken from the system, null for an empty buffer
  std::size_t mapping_size_ = 0;
  char* data_ = nullptr;
  std::size_t size_;
};

}  // namespace platform
