#include <windows.h>

#include <new>

#include "platform/large_buffer.hpp"

namespace platform {

// Large pages need a privilege that a technician's account does not hold: the buffer is
// committed in ordinary pages, still outside the heap.
LargeBuffer::LargeBuffer(std::size_t size) : size_(size) {
  if (size == 0) return;
  mapping_ = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!mapping_) throw std::bad_alloc();
  mapping_size_ = size;
  data_ = static_cast<char*>(mapping_);
}

LargeBuffer::~LargeBuffer() {
  if (mapping_) VirtualFree(mapping_, 0, MEM_RELEASE);
}

}  // namespace platform
