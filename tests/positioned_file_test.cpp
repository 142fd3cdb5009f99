#include "platform/positioned_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/files.hpp"

using testing_support::Bytes;
using testing_support::ScratchFolder;

TEST(PositionedFile, ReadsAtAnyOffsetAndStopsAtTheEnd) {
  Bytes content(10000);
  for (std::size_t i = 0; i < content.size(); ++i)
    content[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
  const ScratchFolder folder;
  testing_support::write_bytes(folder / "file.bin", content);
  platform::PositionedFile file((folder / "file.bin").string());
  ASSERT_TRUE(file.is_open());

  struct Case {
    const char* name;
    std::uint64_t offset;
    std::size_t size;
    std::size_t expected;  // bytes read
  };
  const Case cases[] = {
      {"from the start", 0, 2048, 2048},
      {"in the middle, after a read further on", 4000, 100, 100},
      {"back before an earlier read", 1, 3, 3},
      {"up to the last byte", 9000, 1000, 1000},
      {"across the end", 9500, 2048, 500},
      {"at the end", 10000, 16, 0},
      {"far past the end", std::uint64_t{1} << 40, 16, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes into(c.size, 0xCC);
    const auto got = file.read_at(c.offset, reinterpret_cast<char*>(into.data()), c.size);
    ASSERT_EQ(got, c.expected);
    const auto start = content.begin() + static_cast<std::ptrdiff_t>(
                                             std::min<std::uint64_t>(c.offset, content.size()));
    EXPECT_TRUE(
        std::equal(into.begin(), into.begin() + static_cast<std::ptrdiff_t>(c.expected), start));
    EXPECT_TRUE(std::all_of(into.begin() + static_cast<std::ptrdiff_t>(c.expected), into.end(),
                            [](std::uint8_t b) { return b == 0xCC; }))
        << "nothing is written past what was read";
  }
}

TEST(PositionedFile, AMissingFileOrAFolderReadsNothing) {
  const ScratchFolder folder;
  EXPECT_FALSE(platform::PositionedFile((folder / "missing.bin").string()).is_open());
  for (const auto& path : {folder / "missing.bin", folder.path()}) {
    SCOPED_TRACE(path.string());
    platform::PositionedFile file(path.string());
    // A folder may open on some systems; reading it is then an error, never data.
    char byte = 0;
    EXPECT_EQ(file.read_at(0, &byte, 1), std::nullopt);
  }
}
