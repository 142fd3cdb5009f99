// Time of one picture through the image library each way: the BMP that K writes per
// frame, and the BMP that L reads (header check and decode) per frame.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "animation/picture_io.hpp"
#include "tests/support/files.hpp"

namespace {

using testing_support::ScratchFolder;

// A frame-shaped picture of random samples, as a decoded frame would be.
PictureHandle random_picture() {
  PictureHandle picture = make_frame_picture();
  std::mt19937 random(11);
  for (auto& sample : frame_samples(*picture)) sample = static_cast<std::uint8_t>(random());
  return picture;
}

void save_one_picture(benchmark::State& state) {
  const ScratchFolder folder;
  const PictureHandle picture = random_picture();
  std::vector<char> file_buffer(frame_bmp_bytes);
  const std::string path = (folder / "frame.bmp").string();
  for (auto _ : state) save_picture(*picture, path, file_buffer);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frame_bmp_bytes));
}

void load_one_picture(benchmark::State& state) {
  const ScratchFolder folder;
  std::vector<char> file_buffer(frame_bmp_bytes);
  const std::string path = (folder / "frame.bmp").string();
  save_picture(*random_picture(), path, file_buffer);
  const PictureHandle picture = make_empty_picture();
  for (auto _ : state) {
    load_picture(*picture, path);
    benchmark::DoNotOptimize(frame_samples(*picture).data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frame_bmp_bytes));
}

}  // namespace

BENCHMARK(save_one_picture)->Unit(benchmark::kMicrosecond);
BENCHMARK(load_one_picture)->Unit(benchmark::kMicrosecond);
