// Runs extract_pages alone, so that the backup conversion can be timed as a whole process
// beside `cat` of the same pages. Usage: korvanta_extract_pages PAGE_LIMIT DATA_FILE RAW_FILE
// (the limit in bytes, decimal or 0x-prefixed hexadecimal; "all" for a forced backup).
#include <iostream>
#include <string>

#include "shell/failure.hpp"
#include "shell/target_file.hpp"
#include "transfer/extract_pages.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: " << argv[0] << " PAGE_LIMIT DATA_FILE RAW_FILE\n";
    return 2;
  }
  try {
    const std::string limit = argv[1];
    const auto page_limit = limit == "all"
                                ? whole_read_back
                                : static_cast<std::uint32_t>(std::stoul(limit, nullptr, 0));
    TargetFile data_file(argv[2], Durability::flushed);
    extract_pages(page_limit, data_file, argv[3]);
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
