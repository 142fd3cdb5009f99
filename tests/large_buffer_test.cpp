#include "platform/large_buffer.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace {

char pattern(std::size_t at, std::size_t seed) {
  return static_cast<char>((at * 31 + seed) % 253);
}

}  // namespace

// Buffers of sizes on both sides of a small and a large page, alive at the same time,
// each holding every byte written to it without disturbing the others.
TEST(LargeBuffer, HoldsEveryByteOfItsSizeApartFromOtherBuffers) {
  const std::vector<std::size_t> sizes = {1,        4095,     4096, (2u << 20) - 1, (2u << 20) + 3,
                                          5u << 20, 20u << 20};
  std::vector<std::unique_ptr<platform::LargeBuffer>> buffers;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    buffers.push_back(std::make_unique<platform::LargeBuffer>(sizes[i]));
    platform::LargeBuffer& buffer = *buffers.back();
    ASSERT_EQ(buffer.size(), sizes[i]);
    ASSERT_NE(buffer.data(), nullptr);
    for (std::size_t at = 0; at < buffer.size(); ++at) buffer.data()[at] = pattern(at, i);
  }
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    SCOPED_TRACE(sizes[i]);
    std::size_t wrong = 0;
    for (std::size_t at = 0; at < buffers[i]->size(); ++at)
      wrong += buffers[i]->data()[at] != pattern(at, i);
    EXPECT_EQ(wrong, 0u);
  }
}

TEST(LargeBuffer, AnEmptyBufferHasNoBytes) {
  platform::LargeBuffer buffer(0);
  EXPECT_EQ(buffer.size(), 0u);
}

TEST(LargeBuffer, ASizeTheSystemCannotGiveIsBadAlloc) {
  EXPECT_THROW(platform::LargeBuffer(SIZE_MAX - 16), std::bad_alloc);
  EXPECT_THROW(platform::LargeBuffer(SIZE_MAX / 2), std::bad_alloc);
}
