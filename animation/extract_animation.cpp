#include <cstdint>
#include <string>
#include <vector>

#include "animation/actions.hpp"
#include "animation/animation_format.hpp"
#include "animation/picture_io.hpp"
#include "shell/console.hpp"
#include "shell/failure.hpp"
#include "shell/files.hpp"
#include "shell/target_file.hpp"

namespace {

// What a K that stopped at picture `stopped` leaves: the pictures before it are new, those
// after it are as they were, and the set is mixed.
std::string mixed_set_note(const std::vector<TargetFile>& pictures, std::size_t stopped) {
  const auto pictures_are = [&](std::size_t first, std::size_t last, const char* one,
                                const char* many) {
    const auto name = [&](std::size_t index) { return "'" + pictures[index].target() + "'"; };
    return first == last ? " The picture " + name(first) + one
                         : " The pictures " + name(first) + " to " + name(last) + many;
  };
  std::string note =
      stopped == 0 ? " No picture is new." : pictures_are(0, stopped - 1, " is new.", " are new.");
  if (stopped + 1 < pictures.size()) {
    note += pictures_are(stopped + 1, pictures.size() - 1, " is as it was.", " are as they were.");
  }
  return note + " Run K again before L uses these pictures.";
}

}  // namespace

void extract_animation() {
  const PictureHandle picture = make_frame_picture();
  const PictureSamples samples = frame_samples(*picture);
  std::vector<std::uint8_t> frame(frame_bytes);
  std::vector<char> file_buffer(frame_bmp_bytes);

  print_prompt("Source file (Ex: C:\\LG_poweron.bin): ");
  const std::string source_path = read_word();
  std::ifstream source = open_typed_source(source_path);
  const auto frame_count = animation_frame_count(stream_size(source));
  if (!frame_count) fail("The file " + source_path + " isn't the right format.");

  // "C\\image" without a colon: the system's own text.
  print_prompt("Target file (Ex: C\\image): ");
  const std::string prefix = read_word();
  // The name is rebuilt in place: after the first frame it needs no new memory.
  std::string name;
  name.reserve(prefix.size() + 16);
  const auto name_picture = [&](std::int32_t index) -> const std::string& {
    return name.assign(prefix).append(std::to_string(index)).append(".bmp");
  };
  // Saving a picture replaces its file: one that is the source would be lost mid-read, and
  // a device would take the picture's bytes. Every picture is claimed before the first is
  // written, so that a picture that cannot be written is found before any has changed.
  std::vector<TargetFile> pictures;
  pictures.reserve(static_cast<std::size_t>(*frame_count));
  try {
    for (std::int32_t index = 0; index < *frame_count; ++index) {
      pictures.push_back(claim_picture(name_picture(index), source_path));
    }
  } catch (const PictureFailure& error) {
    print_line("Error when operating: ", error.what());
    return;
  }
  for (std::int32_t index = 0; index < *frame_count; ++index) {
    read_exact(source, reinterpret_cast<char*>(frame.data()), frame.size());
    decode_frame(ConstFrameBytes(frame.data(), frame_bytes), samples);
    TargetFile& target = pictures[static_cast<std::size_t>(index)];
    try {
      save_picture(*picture, target, file_buffer);
    } catch (const PictureFailure& error) {
      print_line("Error when operating: ", error.what());
      return;
    }
    try {
      target.put_in_place();
    } catch (const TextFailure& kept) {
      fail(kept.what() + mixed_set_note(pictures, static_cast<std::size_t>(index)));
    }
  }
}
