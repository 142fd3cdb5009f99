#include "transfer/extract_pages.hpp"

#include <ostream>
#include <vector>

#include "platform/positioned_file.hpp"
#include "shell/failure.hpp"
#include "shell/files.hpp"
#include "shell/target_file.hpp"

namespace {

// Pages gathered before they go to the data file in one write: a write per page costs
// more than the copy it saves (a ROOT_DISK backup: about 2× the time of 32-page writes).
constexpr std::size_t pages_per_write = 32;

// The pages, 64 KiB at a time.
void copy_pages(std::uint32_t page_limit, platform::PositionedFile& raw, std::ostream& data) {
  if (!raw.is_open()) throw StreamFailure(std::ios_base::failbit);
  const bool to_end = page_limit == whole_read_back;
  std::vector<char> pages(pages_per_write * page_bytes);
  std::size_t gathered = 0;
  const auto write_gathered = [&] {
    write_all(data, pages.data(), gathered);
    gathered = 0;
  };
  const std::uint32_t page_count = page_limit / page_bytes;
  for (std::uint32_t page = 0; page < page_count; ++page) {
    const auto got = raw.read_at(std::uint64_t{page} * read_back_block_bytes,
                                 pages.data() + gathered, page_bytes);
    if (got != page_bytes) {
      if (to_end && got) break;  // a forced backup ends after the last whole page
      write_gathered();          // the whole pages before the one that failed stay
      // As a stream reports them: a short read ends the file early, an error is bad.
      throw StreamFailure(got ? std::ios_base::failbit | std::ios_base::eofbit
                              : std::ios_base::badbit);
    }
    gathered += page_bytes;
    if (gathered == pages.size()) write_gathered();
  }
  write_gathered();
}

}  // namespace

void extract_pages(std::uint32_t page_limit, const std::string& data_file,
                   const std::string& raw_file) {
  TargetFile data(data_file, Durability::flushed);
  extract_pages(page_limit, data, raw_file);
}

void extract_pages(std::uint32_t page_limit, TargetFile& data_file, const std::string& raw_file) {
  // Each page is read at its block's offset straight into its place among the pages to
  // write: one system call a page, where a stream needs a seek and a read (about 1.3× the
  // time of a ROOT_DISK backup).
  platform::PositionedFile raw(raw_file);
  data_file.put_in_place_after([&] { copy_pages(page_limit, raw, data_file.stream()); });
}
