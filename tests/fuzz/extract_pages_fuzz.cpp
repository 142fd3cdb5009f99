// Fuzz harness of extract_pages: any bytes as a raw read-back file, with any page limit.
// The first four bytes are the limit (little-endian; 0xFFFFFFFF is the whole read-back of
// a forced backup), the rest is the raw file. Whatever the file, the data file holds
// whole pages only, each the first 2,048 bytes of its block, in order; a copy that ends
// normally holds every page the limit asks for.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "shell/failure.hpp"
#include "shell/target_file.hpp"
#include "tests/fuzz/fuzz_files.hpp"
#include "transfer/extract_pages.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t page_limit =
      data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
  const std::uint8_t* raw = data + 4;
  const std::size_t raw_size = size - 4;
  const auto& folder = fuzz_files::empty_folder();
  fuzz_files::write_file(folder / "backup.bin.big", raw, raw_size);

  bool ended_normally = true;
  try {
    TargetFile data_file((folder / "backup.bin").string(), Durability::flushed);
    extract_pages(page_limit, data_file, (folder / "backup.bin.big").string());
  } catch (const StreamFailure&) {
    ended_normally = false;
  }

  const auto pages = fuzz_files::read_file(folder / "backup.bin");
  if (pages.size() % page_bytes != 0) std::abort();
  for (std::size_t page = 0; page < pages.size() / page_bytes; ++page) {
    const std::size_t block = page * read_back_block_bytes;
    if (block + page_bytes > raw_size) std::abort();
    if (std::memcmp(pages.data() + page * page_bytes, raw + block, page_bytes) != 0) std::abort();
  }
  if (ended_normally && page_limit != whole_read_back &&
      pages.size() != page_limit / page_bytes * page_bytes) {
    std::abort();
  }
  return 0;
}
