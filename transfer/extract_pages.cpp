#include "transfer/extract_pages.hpp"

#include <fstream>
#include <vector>

#include "shell/files.hpp"

namespace {

// Pages gathered before they go to the data file in one write: a write per page costs
// more than the copy it saves (a ROOT_DISK backup: about 2× the time of 32-page writes).
constexpr std::size_t pages_per_write = 32;

}  // namespace

void extract_pages(std::uint32_t page_limit, const std::string& data_file,
                   const std::string& raw_file) {
  // Both files unbuffered: each page is read straight into its place among the pages to
  // write, and a stream buffer would only copy it once more (or read the filler ahead).
  std::ifstream raw;
  raw.rdbuf()->pubsetbuf(nullptr, 0);
  raw.open(raw_file, std::ios::binary);
  std::ofstream data;
  data.rdbuf()->pubsetbuf(nullptr, 0);
  data.open(data_file, std::ios::binary | std::ios::trunc);
  check_stream(raw);
  check_stream(data);
  seek_to(raw, 0);

  const bool to_end = page_limit == whole_read_back;
  std::vector<char> pages(pages_per_write * page_bytes);
  std::size_t gathered = 0;
  const auto write_gathered = [&] {
    write_all(data, pages.data(), gathered);
    gathered = 0;
  };
  for (std::uint32_t left = page_limit / page_bytes; left > 0; --left) {
    raw.read(pages.data() + gathered, page_bytes);
    if (!raw) {
      if (to_end && raw.eof() && !raw.bad()) break;
      write_gathered();  // the whole pages before the one that failed stay
      check_stream(raw);
    }
    gathered += page_bytes;
    if (gathered == pages.size()) write_gathered();
    skip_ahead(raw, read_back_block_bytes - page_bytes);
  }
  write_gathered();
  close_after_writing(data);
}
