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
  for (std::int32_t index = 0; index < *frame_count; ++index) {
    refuse_unusable_name(name_picture(index));
    if (writes_over(name_picture(index), source_path)) {
      fail("The picture " + name + " would replace the source file " + source_path +
           ": choose another prefix.");
    }
    // A picture can be extracted again from its animation: it need not reach the disk first.
    pictures.emplace_back(name, Durability::cached);
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
      std::string note = " No picture is new.";
      if (index == 1) note = " The picture '" + name_picture(0) + "' is new;";
      if (index > 1) {
        note = " The pictures '" + name_picture(0) + "' to '";
        note += name_picture(index - 1) + "' are new;";
      }
      if (index > 0) note += " the others are as they were.";
      fail(kept.what() + note);
    }
  }
}
