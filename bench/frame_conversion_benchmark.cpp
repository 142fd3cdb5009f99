// Time of one frame conversion each way, on frames and pictures the caller already owns.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "animation/animation_format.hpp"

namespace {

std::vector<std::uint8_t> random_bytes(std::size_t size) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
  return bytes;
}

void decode_one_frame(benchmark::State& state) {
  const auto frame = random_bytes(frame_bytes);
  std::vector<std::uint8_t> picture(picture_samples);
  for (auto _ : state) {
    decode_frame(ConstFrameBytes(frame.data(), frame_bytes),
                 PictureSamples(picture.data(), picture_samples));
    benchmark::DoNotOptimize(picture.data());
    benchmark::ClobberMemory();
  }
}

void encode_one_frame(benchmark::State& state) {
  const auto picture = random_bytes(picture_samples);
  std::vector<std::uint8_t> frame(frame_bytes);
  for (auto _ : state) {
    encode_frame(ConstPictureSamples(picture.data(), picture_samples),
                 FrameBytes(frame.data(), frame_bytes));
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace

BENCHMARK(decode_one_frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(encode_one_frame)->Unit(benchmark::kMicrosecond);
