// The pictures of the animation tools and their BMP files, read and written by the image
// library. Only this pair of files knows the library; the actions see a picture as its
// planar sample buffer (animation/animation_format.hpp).
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "animation/animation_format.hpp"

class TargetFile;

namespace cimg_library {
template <typename T>
struct CImg;
}

// Samples are 8-bit unsigned, held as char8_t rather than unsigned char: unsigned char may
// alias any object, so in the library's pixel loops the compiler would reload the picture's
// dimensions after every sample it stores (reading a BMP takes 2.4x as long).
using Picture = cimg_library::CImg<char8_t>;

struct PictureRelease {
  void operator()(Picture* picture) const noexcept;
};
using PictureHandle = std::unique_ptr<Picture, PictureRelease>;

// An error of the image library, or a picture refused before the library reads it. The
// library has already shown its error report (on the error stream, and in its window where
// the platform has a display); what() is the message for the console.
class PictureFailure : public std::runtime_error {
 public:
  explicit PictureFailure(const std::string& message) : std::runtime_error(message) {}
};

// A black picture of a frame's shape (240 × 320, three channels).
PictureHandle make_frame_picture();

// An empty picture, for load_picture to fill.
PictureHandle make_empty_picture();

// The sample buffer of a picture of a frame's shape; raises std::logic_error for any other.
PictureSamples frame_samples(Picture& picture);

// The size of the BMP file of a frame-shaped picture: 54 bytes of headers and 320 rows of
// 720 bytes.
inline constexpr std::size_t frame_bmp_bytes = 54 + picture_samples;

// Writes the picture as an uncompressed 24-bit BMP into the claimed `target`, which the
// caller then puts in place. The caller's `file_buffer` (at least frame_bmp_bytes for a
// single write per file) is used as the file's buffer and may be reused for the next picture
// once this returns. Raises PictureFailure when the file cannot be created, or when it
// cannot be written to its end: what was written is then discarded, and the earlier file
// stays.
void save_picture(const Picture& picture, TargetFile& target, std::span<char> file_buffer);

// Claims the picture file `path` (TargetFile), which must not be `source`. A file that
// cannot be made (its folder does not exist) raises PictureFailure as the library words
// it; the claim's other refusals raise their TextFailure.
TargetFile claim_picture(const std::string& path, const std::string& source);

// Replaces the picture with the BMP file at `path`, which must hold a frame's 240 × 320
// pixels. Its headers are checked (check_bmp) before any pixel is read; then the image
// library reads the layouts it decodes exactly, and our own decoders (bmp_pixels.hpp) the
// others, as if the library had read them. No outside program is ever started. Raises
// PictureFailure with the reason otherwise; the picture then holds nothing usable.
void load_picture(Picture& picture, const std::string& path);
