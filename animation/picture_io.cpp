#include "animation/picture_io.hpp"

// The library runs in its "Dialog" mode: each error is reported on the error stream (and
// in a window with "Abort" where a display is built in) before it is thrown. It must never
// start outside programs, which it would otherwise do for compressed BMPs.
#define cimg_verbosity 2
#define cimg_no_system_calls
#define cimg_display KORVANTA_IMAGE_DISPLAY
// The library sizes its largest buffer from UINTPTR_MAX; without it defined first, a
// 32-bit build takes the 64-bit limit and every image allocation fails.
#include <cstdint>
#include <cstdio>
#include <functional>

#include "platform/byte_output.hpp"
// save_bmp writes every byte of a picture with its own std::fputc call (about 1.2 ms of the
// 1.5 ms a frame took). Inside the library's code each of those calls becomes the
// platform's inline unlocked output instead: the same bytes, at the cost of a store. The
// qualified name std::fputc stays valid as std::invoke of that output.
#define fputc(byte, file) invoke(::platform::put_byte, byte, file)
#include <CImg.h>
#undef fputc

#include <array>
#include <variant>
#include <vector>

#include "animation/bmp_header.hpp"
#include "animation/bmp_pixels.hpp"
#include "platform/simd_clones.hpp"
#include "shell/failure.hpp"
#include "shell/files.hpp"
#include "shell/target_file.hpp"

// The library's facts about a sample type (its name in messages, its range) for char8_t are
// those of unsigned char.
template <>
struct cimg_library::cimg::type<char8_t> : cimg_library::cimg::type<unsigned char> {};

namespace {

using cimg_library::CImgException;
using cimg_library::CImgIOException;

struct FileClose {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

// Raised as the library's own error so that it is reported the same way as the library's.
[[noreturn]] void refuse(const std::string& message) {
  throw CImgIOException("%s", message.c_str());
}

// The size of the open file, or no value when it cannot be told (a file too large for the
// C library's offsets, a device).
std::optional<std::uint64_t> file_size(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return std::nullopt;
  const long end = std::ftell(file);
  if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(end);
}

// The library's BMP reader stores each pixel's three samples in three planes: a loop that
// vectorises only with byte shuffles (a picture loads in about a quarter of the time).
KORVANTA_SIMD_CLONES void read_with_library(Picture& picture, std::FILE* file) {
  picture.load_bmp(file);
}

bool has_frame_shape(const Picture& picture) {
  return picture.width() == frame_width && picture.height() == frame_height &&
         picture.depth() == 1 && picture.spectrum() == static_cast<int>(picture_channels);
}

}  // namespace

void PictureRelease::operator()(Picture* picture) const noexcept {
  delete picture;
}

PictureHandle make_frame_picture() {
  return PictureHandle(new Picture(frame_width, frame_height, 1, picture_channels, 0));
}

PictureHandle make_empty_picture() {
  return PictureHandle(new Picture());
}

PictureSamples frame_samples(Picture& picture) {
  if (!has_frame_shape(picture)) throw std::logic_error("picture is not of a frame's shape");
  // Bytes of any type may be read and written as unsigned char.
  return PictureSamples(reinterpret_cast<std::uint8_t*>(picture.data()), picture_samples);
}

void save_picture(const Picture& picture, TargetFile& target, std::span<char> file_buffer) {
  const std::string& path = target.target();
  // The file is opened here rather than by the library, which would take the names "-"
  // and "-.…" for standard output, and would not report a write that fails.
  File file;
  try {
    file.reset(target.open_stream());
    if (!file) {
      target.discard();
      refuse("Failed to open file '" + path + "' for writing.");
    }
    // The library writes a byte at a time: with a buffer as large as the file, the file
    // goes to the system in one write.
    std::setvbuf(file.get(), file_buffer.data(), _IOFBF, file_buffer.size());
    picture.save_bmp(file.get());
    const bool written = std::fflush(file.get()) == 0 && !std::ferror(file.get());
    if (std::fclose(file.release()) != 0 || !written) {
      // A picture cut short is no picture: the earlier file stays.
      target.discard();
      refuse("The file '" + path + "' cannot be written to its end.");
    }
  } catch (const CImgException& error) {
    file.reset();
    target.discard();
    throw PictureFailure(error.what());
  }
}

TargetFile claim_picture(const std::string& path, const std::string& source) {
  try {
    try {
      return TargetFile(path, Durability::cached,
                        {{source, "The picture " + path + " would replace the source file " +
                                      source + ": choose another prefix."}});
    } catch (const StreamFailure&) {
      refuse("Failed to open file '" + path + "' for writing.");  // as the library says it
    }
  } catch (const CImgException& error) {
    throw PictureFailure(error.what());
  }
}

void load_picture(Picture& picture, const std::string& path) {
  try {
    const File file(std::fopen(path.c_str(), "rb"));
    if (!file) refuse("Failed to open file '" + path + "' for reading.");
    const auto size = file_size(file.get());
    if (!size) refuse("The size of the file '" + path + "' cannot be told.");
    std::array<std::uint8_t, bmp_prefix_bytes> prefix{};
    const std::size_t got = std::fread(prefix.data(), 1, prefix.size(), file.get());
    const auto checked = check_bmp(std::span(prefix.data(), got), *size, path);
    if (const auto* refusal = std::get_if<std::string>(&checked)) refuse(*refusal);
    const BmpLayout& layout = std::get<BmpLayout>(checked);

    if (layout.reader == BmpReader::image_library) {
      if (std::fseek(file.get(), 0, SEEK_SET) != 0)
        refuse("The file '" + path + "' cannot be read.");
      read_with_library(picture, file.get());
      if (!has_frame_shape(picture)) {
        refuse(wrong_size_message(path, picture.width(), picture.height()));
      }
      return;
    }
    std::vector<std::uint8_t> pixels(layout.pixel_bytes);
    if (std::fseek(file.get(), static_cast<long>(layout.pixel_offset), SEEK_SET) != 0 ||
        std::fread(pixels.data(), 1, pixels.size(), file.get()) != pixels.size()) {
      refuse("The file '" + path + "' cannot be read to the end of its pixels.");
    }
    picture.assign(frame_width, frame_height, 1, picture_channels);
    const auto palette = std::span<const std::uint8_t>(prefix).subspan(
        layout.palette_offset, std::size_t{layout.palette_entry_bytes} * layout.palette_colours);
    if (auto refusal = decode_bmp_pixels(layout, palette, pixels, frame_samples(picture), path)) {
      refuse(*refusal);
    }
  } catch (const CImgException& error) {
    throw PictureFailure(error.what());
  }
}
