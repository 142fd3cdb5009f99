// Time of one picture each way: the BMP that K writes per frame through the image library,
// and the BMP that L reads per frame (header check and decode), of 24, 8 and 16 bits.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "animation/picture_io.hpp"
#include "shell/target_file.hpp"
#include "tests/support/bmp.hpp"
#include "tests/support/files.hpp"

namespace {

// A picture saved as K saves it: claimed, written, put in place.
void save_picture_at(const Picture& picture, const std::string& path, std::span<char> buffer) {
  TargetFile target = claim_picture(path, {});
  save_picture(picture, target, buffer);
  target.put_in_place();
}

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
  for (auto _ : state) save_picture_at(*picture, path, file_buffer);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(frame_bmp_bytes));
}

// The picture L reads per frame, by its bits per pixel: 24 (the picture K wrote), 8 (a full
// palette, read by the image library) and 16 (R5G6B5 bit fields, read by our decoder).
testing_support::Bytes picture_file(int bits) {
  using testing_support::BmpFormat;
  const auto value = [](int x, int y) { return static_cast<std::uint32_t>(x * 7 + y * 13); };
  if (bits == 16) {
    const BmpFormat format{240, 320, 16, 40, 3, {}, {0xF800, 0x07E0, 0x001F}};
    return bmp_file(format, pixel_rows(format, [&](int x, int y) { return value(x, y) & 0xFFFF; }));
  }
  if (bits == 8) {
    std::vector<testing_support::Rgb> palette(256);
    for (int i = 0; i < 256; ++i) palette[i] = {std::uint8_t(i), std::uint8_t(255 - i), 7};
    const BmpFormat format{240, 320, 8, 40, 0, palette};
    return bmp_file(format, pixel_rows(format, [&](int x, int y) { return value(x, y) & 0xFF; }));
  }
  std::vector<char> file_buffer(frame_bmp_bytes);
  const ScratchFolder folder;
  save_picture_at(*random_picture(), (folder / "frame.bmp").string(), file_buffer);
  return testing_support::read_bytes(folder / "frame.bmp");
}

void load_one_picture(benchmark::State& state) {
  const ScratchFolder folder;
  const std::string path = (folder / "frame.bmp").string();
  testing_support::write_bytes(path, picture_file(static_cast<int>(state.range(0))));
  const PictureHandle picture = make_empty_picture();
  for (auto _ : state) {
    load_picture(*picture, path);
    benchmark::DoNotOptimize(frame_samples(*picture).data());
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(save_one_picture)->Unit(benchmark::kMicrosecond);
BENCHMARK(load_one_picture)->Arg(24)->Arg(8)->Arg(16)->Unit(benchmark::kMicrosecond);
