#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "animation/actions.hpp"
#include "animation/animation_format.hpp"
#include "animation/picture_io.hpp"
#include "platform/file_system.hpp"
#include "shell/console.hpp"
#include "shell/failure.hpp"
#include "shell/files.hpp"
#include "shell/target_file.hpp"

namespace {

// Writes one frame at the end of the animation. A frame that cannot be written whole is
// cut off again, so that the file keeps the whole frames before it; then the stream failure
// goes on.
void append_frame(TargetFile& target, std::uint64_t frames_before,
                  const std::vector<std::uint8_t>& frame) {
  try {
    write_all(target.stream(), reinterpret_cast<const char*>(frame.data()), frame.size());
  } catch (const StreamFailure&) {
    target.cut_to(frames_before * frame_bytes);
    throw;
  }
}

// Why a picture name is no picture to read, or nothing: a device or a pipe could wait for
// input that never comes, and the animation being written would be read as one of its
// frames.
std::optional<std::string> unreadable_picture(const std::string& path,
                                              const std::string& target_path) {
  if (auto refusal = typed_name_refusal(path)) return refusal;
  if (platform::names_irregular_file(path)) return "The file '" + path + "' is not a regular file.";
  if (writes_over(target_path, path)) {
    return "The file '" + path + "' is the animation being written.";
  }
  return std::nullopt;
}

}  // namespace

void create_animation() {
  const PictureHandle picture = make_empty_picture();
  std::vector<std::uint8_t> frame(frame_bytes);

  print_prompt("Target file (Ex: C:\\LG_poweroff.bin): ");
  const std::string target_path = read_word();
  refuse_unusable_name(target_path);
  // Built from pictures typed one by one: not easily had again.
  TargetFile target(target_path, Durability::flushed);
  target.stream();
  std::string path;

  for (std::int32_t count = 0;;) {
    // "fileFichier" and "n" run together: the system's own text.
    print_prompt("Source fileFichier (.bmp) n", count, " (Press Enter to finish): ");
    try {
      path = read_line();
    } catch (const EndOfInput&) {
      break;  // the file keeps the frames given so far
    }
    if (path.empty()) break;
    if (const auto refusal = unreadable_picture(path, target_path)) {
      print_line("Error: ", *refusal, " Please try again");
      continue;
    }
    try {
      load_picture(*picture, path);
    } catch (const PictureFailure& error) {
      print_line("Error: ", error.what(), " Please try again");
      continue;
    }
    encode_frame(frame_samples(*picture), FrameBytes(frame.data(), frame_bytes));
    append_frame(target, static_cast<std::uint64_t>(count), frame);
    ++count;
  }
  target.put_in_place();
}
