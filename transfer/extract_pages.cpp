#include "transfer/extract_pages.hpp"

#include <array>
#include <fstream>

#include "shell/files.hpp"

void extract_pages(std::uint32_t page_limit, const std::string& data_file,
                   const std::string& raw_file) {
  // Page-sized reads and writes straight to the files: a stream buffer would only copy
  // the page once more, and most of what it read ahead is filler that is skipped.
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
  std::array<char, page_bytes> page;
  for (std::uint32_t pages = page_limit / page_bytes; pages > 0; --pages) {
    raw.read(page.data(), page.size());
    if (to_end && raw.eof() && !raw.bad()) break;
    check_stream(raw);
    write_all(data, page.data(), page.size());
    skip_ahead(raw, read_back_block_bytes - page_bytes);
  }
  close_after_writing(data);
}
