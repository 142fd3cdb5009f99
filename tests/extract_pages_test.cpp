#include "transfer/extract_pages.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "shell/failure.hpp"
#include "shell/target_file.hpp"
#include "tests/support/files.hpp"

using testing_support::Bytes;
using testing_support::read_bytes;
using testing_support::ScratchFolder;
using testing_support::write_bytes;

namespace {

constexpr std::uint8_t filler = 0xEE;

// Page k of a raw file: bytes that differ from page to page and from the filler.
Bytes page(std::size_t k) {
  Bytes bytes(page_bytes);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(k * 7 + i);
  return bytes;
}

// `blocks` whole blocks, then `tail` bytes of one more block (its page first).
Bytes raw_file(std::size_t blocks, std::size_t tail) {
  Bytes raw;
  for (std::size_t k = 0; k <= blocks; ++k) {
    Bytes block = page(k);
    block.resize(read_back_block_bytes, filler);
    if (k == blocks) block.resize(tail);
    raw.insert(raw.end(), block.begin(), block.end());
  }
  return raw;
}

Bytes pages(std::size_t count) {
  Bytes data;
  for (std::size_t k = 0; k < count; ++k) {
    const Bytes bytes = page(k);
    data.insert(data.end(), bytes.begin(), bytes.end());
  }
  return data;
}

// The state a StreamFailure carried, or nothing when the call ended normally.
std::optional<std::string> failure_of(std::uint32_t limit, const std::string& data,
                                      const std::string& raw) {
  try {
    TargetFile data_file(data, Durability::flushed);
    extract_pages(limit, data_file, raw);
  } catch (const StreamFailure& failure) {
    return describe_stream_state(failure.state());
  }
  return std::nullopt;
}

}  // namespace

TEST(ExtractPages, CopiesTheWholePagesAndReportsARawFileThatEndsTooSoon) {
  struct Case {
    const char* what;
    std::size_t blocks;
    std::size_t tail;
    std::uint32_t limit;
    std::size_t pages_kept;
    bool fails;
  };
  const Case cases[] = {
      {"exactly the pages asked for", 4, 0, 4 * page_bytes, 4, false},
      {"fewer pages asked than held", 4, 0, 2 * page_bytes, 2, false},
      {"a partial last page is dropped", 4, 0, 3 * page_bytes + 1024, 3, false},
      {"under one page gives an empty file", 2, 0, page_bytes - 1, 0, false},
      {"a last page without filler after it", 2, page_bytes, 3 * page_bytes, 3, false},
      {"fewer blocks than pages", 2, 0, 3 * page_bytes, 2, true},
      {"a short page in the last block", 2, 1000, 3 * page_bytes, 2, true},
      {"an empty raw file", 0, 0, page_bytes, 0, true},
      {"forced: every whole page", 3, 0, whole_read_back, 3, false},
      {"forced: a trailing short page is dropped", 3, 100, whole_read_back, 3, false},
      {"forced: a last page without filler", 3, page_bytes, whole_read_back, 4, false},
      {"forced: an empty raw file", 0, 0, whole_read_back, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    write_bytes(folder / "data.big", raw_file(c.blocks, c.tail));
    const auto failure =
        failure_of(c.limit, (folder / "data").string(), (folder / "data.big").string());
    if (c.fails) {
      EXPECT_EQ(failure, "ios_base::failbit set");
    } else {
      EXPECT_EQ(failure, std::nullopt);
    }
    EXPECT_EQ(read_bytes(folder / "data"), pages(c.pages_kept));
  }
}

TEST(ExtractPages, AMissingRawFileStillEmptiesTheDataFile) {
  ScratchFolder folder;
  write_bytes(folder / "data", Bytes(5000, 0x42));
  for (const std::uint32_t limit : {page_bytes, whole_read_back}) {
    EXPECT_EQ(failure_of(limit, (folder / "data").string(), (folder / "data.big").string()),
              "ios_base::failbit set");
    EXPECT_EQ(read_bytes(folder / "data"), Bytes{});
  }
}

TEST(ExtractPages, ADataFileThatCannotBeCreatedIsReported) {
  ScratchFolder folder;
  write_bytes(folder / "data.big", raw_file(1, 0));
  EXPECT_EQ(failure_of(page_bytes, (folder / "no_folder" / "data").string(),
                       (folder / "data.big").string()),
            "ios_base::failbit set");
  EXPECT_EQ(read_bytes(folder / "data.big"), raw_file(1, 0)) << "the raw file stays as it was";
}
