// Time of turning a raw read-back file into its data file, per megabyte of pages.
#include <benchmark/benchmark.h>

#include <random>

#include "shell/target_file.hpp"
#include "tests/support/files.hpp"
#include "transfer/extract_pages.hpp"

namespace {

using testing_support::Bytes;
using testing_support::ScratchFolder;

// A raw read-back file of `pages` blocks: random page bytes, filler after each page.
Bytes raw_read_back(std::size_t pages) {
  Bytes raw(pages * read_back_block_bytes, 0xFF);
  std::mt19937 random(5);
  for (std::size_t page = 0; page < pages; ++page) {
    for (std::size_t at = 0; at < page_bytes; ++at) {
      raw[page * read_back_block_bytes + at] = static_cast<std::uint8_t>(random());
    }
  }
  return raw;
}

void extract_read_back_pages(benchmark::State& state) {
  const auto pages = static_cast<std::size_t>(state.range(0));
  const ScratchFolder folder;
  const auto raw = folder / "raw.bin";
  testing_support::write_bytes(raw, raw_read_back(pages));
  const auto data = (folder / "data.bin").string();
  const auto limit = static_cast<std::uint32_t>(pages * page_bytes);
  for (auto _ : state) {
    TargetFile data_file(data, Durability::flushed);
    extract_pages(limit, data_file, raw.string());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(limit));
}

}  // namespace

// 2,048 pages: a 32 MiB raw file and 4 MiB of pages, small enough to stay in the page cache.
BENCHMARK(extract_read_back_pages)->Arg(2048)->Unit(benchmark::kMillisecond);
