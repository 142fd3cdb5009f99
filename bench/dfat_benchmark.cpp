// Time of the DFAT walk over many skipped sections, and of the copy of the image behind them.
#include <benchmark/benchmark.h>

#include <fstream>

#include "packages/dfat.hpp"
#include "tests/support/dfat_container.hpp"

namespace {

using namespace testing_support;

// `skipped` sections of 32 bytes of other kinds, then the image section holding
// `image_size` bytes.
Bytes container(std::size_t skipped, std::size_t image_size) {
  Bytes bytes;
  for (std::size_t section = 0; section < skipped; ++section) {
    const bool other_partition = section % 2 == 1;  // kind 12 with sub_kind 1 is skipped too
    add_section(bytes, other_partition ? 12 : 1, 32, other_partition ? 1 : 0);
  }
  add_image_section(bytes, image_bytes(image_size));
  return bytes;
}

void walk_skipped_sections(benchmark::State& state) {
  const auto skipped = static_cast<std::size_t>(state.range(0));
  const ScratchFolder folder;
  const auto path = folder / "container.dfat";
  testing_support::write_bytes(path, container(skipped, 64));
  for (auto _ : state) {
    std::ifstream source(path, std::ios::binary);
    benchmark::DoNotOptimize(find_cust_section(source));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void copy_image(benchmark::State& state) {
  const auto image_bytes = static_cast<std::size_t>(state.range(0));
  const ScratchFolder folder;
  const auto path = folder / "container.dfat";
  testing_support::write_bytes(path, container(0, image_bytes));
  const auto target_path = folder / "image.fat";
  for (auto _ : state) {
    std::ifstream source(path, std::ios::binary);
    std::ofstream target(target_path, std::ios::binary | std::ios::trunc);
    copy_cust_image(path.string(), find_cust_section(source), target);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(walk_skipped_sections)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(copy_image)->Arg(20 << 20)->Unit(benchmark::kMillisecond);
