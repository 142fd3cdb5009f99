#include "transfer/extract_pages.hpp"

#include <fstream>
#include <vector>

#include "platform/positioned_file.hpp"
#include "shell/failure.hpp"
#include "shell/files.hpp"

namespace {

// Pages gathered before they go to the data file in one write: a write per page costs
// more than the copy it saves (a ROOT_DISK backup: about 2× the time of 32-page writes).
constexpr std::size_t pages_per_write = 32;

}  // namespace

void extract_pages(std::uint32_t page_limit, const std::string& data_file,
                   const std::string& raw_file) {
  // Each page is read at its block's offset straight into its place among the pages to
  // write: one system call a page, where a stream needs a seek and a read (about 1.3× the
  // time of a ROOT_DISK backup).
  platform::PositionedFile raw(raw_file);
  FileReplacement data_replacement(data_file);
  std::ofstream data;
  data.rdbuf()->pubsetbuf(nullptr, 0);
  data.open(data_replacement.path(), std::ios::binary | std::ios::trunc);
  if (!raw.is_open()) throw StreamFailure(std::ios_base::failbit);
  check_stream(data);

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
  close_after_writing(data);
  data_replacement.put_in_place();
}
