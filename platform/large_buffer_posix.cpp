#include <sys/mman.h>

#include <cstdint>
#include <new>

#include "platform/large_buffer.hpp"

namespace platform {

namespace {

constexpr std::size_t large_page = std::size_t{2} << 20;

}  // namespace

LargeBuffer::LargeBuffer(std::size_t size) : size_(size) {
  if (size == 0) return;
  // Large pages only back whole aligned 2 MiB ranges: one more such page is taken so
  // that the buffer can start on a boundary.
  if (size > SIZE_MAX - large_page) throw std::bad_alloc();
  mapping_size_ = size + large_page;
  void* mapping =
      mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  mapping_ = mapping;
  const auto start = reinterpret_cast<std::uintptr_t>(mapping);
  const std::uintptr_t aligned = (start + large_page - 1) & ~std::uintptr_t{large_page - 1};
  data_ = static_cast<char*>(mapping) + (aligned - start);
  // Only advice: without large pages the buffer works the same, only slower to fill.
  madvise(data_, size, MADV_HUGEPAGE);
}

LargeBuffer::~LargeBuffer() {
  if (mapping_) munmap(mapping_, mapping_size_);
}

}  // namespace platform
