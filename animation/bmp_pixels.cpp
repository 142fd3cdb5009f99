#include "animation/bmp_pixels.hpp"

#include <algorithm>
#include <bit>

namespace {

struct Colour {
  std::uint8_t red;
  std::uint8_t green;
  std::uint8_t blue;
};

// Writes the colours of a frame's pixels; y counts from the top row.
class FrameWriter {
 public:
  explicit FrameWriter(PictureSamples picture) : picture_(picture) {}
  void put(std::size_t x, std::size_t y, Colour colour) {
    const std::size_t k = x + frame_width * y;
    picture_[k] = colour.red;
    picture_[frame_pixels + k] = colour.green;
    picture_[2 * frame_pixels + k] = colour.blue;
  }
  void fill(Colour colour) {
    std::fill_n(picture_.begin(), frame_pixels, colour.red);
    std::fill_n(picture_.begin() + frame_pixels, frame_pixels, colour.green);
    std::fill_n(picture_.begin() + 2 * frame_pixels, frame_pixels, colour.blue);
  }

 private:
  PictureSamples picture_;
};

// The palette, checked index by index.
class Palette {
 public:
  Palette(std::span<const std::uint8_t> entries, const BmpLayout& layout)
      : entries_(entries),
        colours_(layout.palette_colours),
        entry_bytes_(layout.palette_entry_bytes) {}
  std::uint32_t colours() const { return colours_; }
  bool holds(std::uint32_t index) const { return index < colours_; }
  Colour operator[](std::uint32_t index) const {
    const std::uint8_t* entry = &entries_[entry_bytes_ * index];
    return {entry[2], entry[1], entry[0]};
  }

 private:
  std::span<const std::uint8_t> entries_;
  std::uint32_t colours_;
  std::uint32_t entry_bytes_;
};

// The row of the frame (from the top) that stored row `stored` of the file is.
std::size_t frame_row(const BmpLayout& layout, std::size_t stored) {
  return layout.top_down ? stored : frame_height - 1 - stored;
}

std::string index_past_palette(const std::string& damaged, std::size_t x, std::size_t y,
                               std::uint32_t index, std::uint32_t colours) {
  return damaged + "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") uses colour " +
         std::to_string(index) + " of a palette of " + std::to_string(colours) + ".";
}

std::optional<std::string> decode_indices(const BmpLayout& layout, const Palette& palette,
                                          std::span<const std::uint8_t> pixels, FrameWriter& frame,
                                          const std::string& damaged) {
  const std::uint32_t bits = layout.bits;
  const std::uint32_t per_byte = 8 / bits;
  const std::uint32_t index_mask = (1u << bits) - 1;
  for (std::size_t stored = 0; stored < frame_height; ++stored) {
    const std::uint8_t* row = &pixels[stored * layout.row_bytes];
    const std::size_t y = frame_row(layout, stored);
    for (std::size_t x = 0; x < frame_width; ++x) {
      // The first pixel of a byte is in its top bits.
      const std::uint32_t shift = bits * (per_byte - 1 - x % per_byte);
      const std::uint32_t index = (row[x / per_byte] >> shift) & index_mask;
      if (!palette.holds(index)) {
        return index_past_palette(damaged, x, y, index, palette.colours());
      }
      frame.put(x, y, palette[index]);
    }
  }
  return std::nullopt;
}

// One component of a bit-field pixel. Only 5 and 6 bits repeat their top bits below: both
// tools decode R5G5B5 and R5G6B5 so, and 4-bit fields (RGB444, ARGB4444) with zeros below.
struct Field {
  std::uint32_t mask;
  int shift;  // of the field's lowest bit
  int widen;  // left shift that puts the field in the top bits of a sample
  int again;  // right shift of a sample that puts its top bits below them; 0 for none
  std::uint8_t sample(std::uint32_t value) const {
    return static_cast<std::uint8_t>(((value & mask) >> shift) << widen);
  }
  // The samples' top bits again below them, over a row of samples once it is written: 16
  // of them to an instruction, where inside the pixel loop a 16-bit picture took half as
  // long again to decode.
  void repeat(std::uint8_t* __restrict samples) const {
    if (again == 0) return;
    for (std::size_t x = 0; x < frame_width; ++x) {
      samples[x] = static_cast<std::uint8_t>(samples[x] | samples[x] >> again);
    }
  }
};

Field field_of(std::uint32_t mask) {
  const int bits = std::popcount(mask);
  return {mask, std::countr_zero(mask), 8 - bits, bits == 5 || bits == 6 ? bits : 0};
}

// One row at a time into the three planes, with the pixel's width fixed: a loop the
// compiler vectorises.
template <std::size_t pixel_bytes>
void decode_bit_fields(const BmpLayout& layout, std::span<const std::uint8_t> pixels,
                       PictureSamples picture) {
  const Field red = field_of(layout.masks[0]);
  const Field green = field_of(layout.masks[1]);
  const Field blue = field_of(layout.masks[2]);
  for (std::size_t stored = 0; stored < frame_height; ++stored) {
    const std::uint8_t* row = &pixels[stored * layout.row_bytes];
    const std::size_t first = frame_width * frame_row(layout, stored);
    std::uint8_t* __restrict reds = &picture[first];
    std::uint8_t* __restrict greens = &picture[frame_pixels + first];
    std::uint8_t* __restrict blues = &picture[2 * frame_pixels + first];
    for (std::size_t x = 0; x < frame_width; ++x) {
      const std::uint8_t* at = row + x * pixel_bytes;
      std::uint32_t value = at[0] | std::uint32_t{at[1]} << 8;
      if constexpr (pixel_bytes >= 3) value |= std::uint32_t{at[2]} << 16;
      if constexpr (pixel_bytes == 4) value |= std::uint32_t{at[3]} << 24;
      reds[x] = red.sample(value);
      greens[x] = green.sample(value);
      blues[x] = blue.sample(value);
    }
    red.repeat(reds);
    green.repeat(greens);
    blue.repeat(blues);
  }
}

// Run-length encoded indices: pairs (count, index) of runs, and escapes (0, code): 0 ends a
// row, 1 ends the picture, 2 moves right and up by the next two bytes, 3 and more give that
// many indices as they stand, padded to a whole number of 16-bit words.
class RunLengthDecoder {
 public:
  RunLengthDecoder(const BmpLayout& layout, const Palette& palette,
                   std::span<const std::uint8_t> data, FrameWriter& frame,
                   const std::string& damaged)
      : layout_(layout), palette_(palette), data_(data), frame_(frame), damaged_(damaged) {}

  std::optional<std::string> decode() {
    frame_.fill(palette_[0]);
    for (;;) {
      if (data_.size() - at_ < 2) {
        // Every row ended by its end-of-row code also ends the picture.
        if (at_ == data_.size() && x_ == 0 && row_ == frame_height) return std::nullopt;
        return ended_early();
      }
      const std::uint32_t count = data_[at_];
      const std::uint32_t code = data_[at_ + 1];
      at_ += 2;
      std::optional<std::string> refusal;
      if (count > 0) {
        refusal = run(count, [&](std::uint32_t i) { return index_in(code, i); });
      } else if (code == 0) {
        if (row_ == frame_height) return past_last_row();
        x_ = 0;
        ++row_;
      } else if (code == 1) {
        return std::nullopt;
      } else if (code == 2) {
        refusal = move();
      } else {
        refusal = literal(code);
      }
      if (refusal) return refusal;
    }
  }

 private:
  // Index i of a run whose byte is `byte`: RLE4 runs alternate its two halves.
  std::uint32_t index_in(std::uint32_t byte, std::uint32_t i) const {
    if (layout_.reader == BmpReader::rle8) return byte;
    return i % 2 == 0 ? byte >> 4 : byte & 0x0F;
  }

  template <typename IndexOf>
  std::optional<std::string> run(std::uint32_t count, IndexOf index_of) {
    if (row_ == frame_height) return past_last_row();
    if (x_ + count > frame_width) {
      return damaged_ + "a run of " + std::to_string(count) + " pixels passes the end of row " +
             std::to_string(frame_row(layout_, row_)) + ".";
    }
    const std::size_t y = frame_row(layout_, row_);
    for (std::uint32_t i = 0; i < count; ++i, ++x_) {
      const std::uint32_t index = index_of(i);
      if (!palette_.holds(index)) {
        return index_past_palette(damaged_, x_, y, index, palette_.colours());
      }
      frame_.put(x_, y, palette_[index]);
    }
    return std::nullopt;
  }

  std::optional<std::string> literal(std::uint32_t count) {
    const std::size_t bytes = layout_.reader == BmpReader::rle8 ? count : (count + 1) / 2;
    const std::size_t padded = (bytes + 1) / 2 * 2;
    if (data_.size() - at_ < padded) {
      return damaged_ + "its encoded pixels end inside a run of " + std::to_string(count) +
             " pixels.";
    }
    const std::uint8_t* indices = &data_[at_];
    at_ += padded;
    const std::uint32_t per_byte = layout_.reader == BmpReader::rle8 ? 1 : 2;
    return run(count, [&](std::uint32_t i) { return index_in(indices[i / per_byte], i); });
  }

  std::optional<std::string> move() {
    if (data_.size() - at_ < 2) return ended_early();
    const std::size_t x = x_ + data_[at_];
    const std::size_t row = row_ + data_[at_ + 1];
    at_ += 2;
    // A move may end at the end of a row, or at the start of the row after the last.
    if (row > frame_height || x > frame_width || (row == frame_height && x > 0)) {
      return damaged_ + "a move passes the edge of the picture.";
    }
    x_ = x;
    row_ = row;
    return std::nullopt;
  }

  std::string ended_early() const {
    return damaged_ + "its encoded pixels end before their end-of-picture code.";
  }

  std::string past_last_row() const {
    return damaged_ + "its encoded pixels go on past the last row.";
  }

  const BmpLayout& layout_;
  const Palette& palette_;
  std::span<const std::uint8_t> data_;
  FrameWriter& frame_;
  const std::string& damaged_;
  std::size_t at_ = 0;
  std::size_t x_ = 0;
  std::size_t row_ = 0;  // stored rows, from the bottom
};

}  // namespace

std::optional<std::string> decode_bmp_pixels(const BmpLayout& layout,
                                             std::span<const std::uint8_t> palette,
                                             std::span<const std::uint8_t> pixels,
                                             PictureSamples picture, const std::string& path) {
  const std::string damaged = "The BMP file '" + path + "' is damaged: ";
  FrameWriter frame(picture);
  const Palette colours(palette, layout);
  switch (layout.reader) {
    case BmpReader::bit_fields:
      if (layout.bits == 16) {
        decode_bit_fields<2>(layout, pixels, picture);
      } else if (layout.bits == 24) {
        decode_bit_fields<3>(layout, pixels, picture);
      } else {
        decode_bit_fields<4>(layout, pixels, picture);
      }
      return std::nullopt;
    case BmpReader::palette:
      return decode_indices(layout, colours, pixels, frame, damaged);
    case BmpReader::rle8:
    case BmpReader::rle4:
      return RunLengthDecoder(layout, colours, pixels, frame, damaged).decode();
    case BmpReader::image_library:
      break;
  }
  return "The BMP file '" + path + "' is not one of ours to decode.";
}
