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

}  // namespace

void create_animation() {
  const PictureHandle picture = make_empty_picture();
  std::vector<std::uint8_t> frame(frame_bytes);

  print_prompt("Target file (Ex: C:\\LG_poweroff.bin): ");
  const std::string target_path = read_word();
  // Built from pictures typed one by one: not easily had again.
  TargetFile target(target_path, Durability::flushed);
  target.put_in_place_after([&] {
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
      if (const auto refusal = unreadable_source(path, target)) {
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
  });
}
