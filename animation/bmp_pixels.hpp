// Our own decoders of the BMP pixel layouts that the image library reads wrongly or not at
// all: 16-bit and bit-field pixels (it ignores the masks and misplaces the components),
// palette pictures whose palette is shorter than their indices can address (it leaves
// them black), run-length encoded pixels (it would start an outside program), and the
// pictures of a 12-byte OS/2 1.x header (it reads their fields from the wrong places).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "animation/animation_format.hpp"
#include "animation/bmp_header.hpp"

// Decodes the pixels of a picture that check_bmp accepted for one of our own readers (any
// reader but the image library) into `picture`, the planar samples of a frame, writing
// every sample.
//  - `palette`: the file's palette entries (blue, green, red, and an unused byte unless
//    layout.palette_entry_bytes is 3), at least layout.palette_colours of them for pictures
//    of 8 bits or fewer.
//  - `pixels`: the file's bytes from the pixel offset, layout.pixel_bytes of them.
// Bit fields widen each component to 8 bits as ImageMagick and ffmpeg do: its value in the
// top bits, and for components of 5 and 6 bits their top bits again below (31 of 5 bits
// becomes 255); narrower components keep zeros below (15 of 4 bits becomes 240). Either way
// an R5G6B5 pixel gives back the frame's own 16-bit value. 24-bit pixels (blue, green, red)
// are read as fields of 8 bits. Run-length encoded pixels that a move or an early end of
// the picture skips take the palette's first colour. Nothing outside `palette`, `pixels` or
// `picture` is read or written. Returns the refusal message, naming `path`, for damaged
// pixels: an index past the palette, a run or a move past a row or the picture, encoded
// pixels that end before their end-of-picture code.
std::optional<std::string> decode_bmp_pixels(const BmpLayout& layout,
                                             std::span<const std::uint8_t> palette,
                                             std::span<const std::uint8_t> pixels,
                                             PictureSamples picture, const std::string& path);
