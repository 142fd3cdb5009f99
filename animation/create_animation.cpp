#include <cstdint>
#include <string>
#include <vector>

#include "animation/actions.hpp"
#include "animation/animation_format.hpp"
#include "animation/picture_io.hpp"
#include "shell/console.hpp"
#include "shell/failure.hpp"
#include "shell/files.hpp"

void create_animation() {
  const PictureHandle picture = make_empty_picture();
  std::vector<std::uint8_t> frame(frame_bytes);

  print_prompt("Target file (Ex: C:\\LG_poweroff.bin): ");
  std::string path = read_word();
  std::ofstream target = open_for_writing(path);

  for (std::int32_t count = 0;;) {
    // "fileFichier" and "n" run together: the system's own text.
    print_prompt("Source fileFichier (.bmp) n", count, " (Press Enter to finish): ");
    try {
      path = read_line();
    } catch (const EndOfInput&) {
      break;  // the file keeps the frames given so far
    }
    if (path.empty()) break;
    try {
      load_picture(*picture, path);
    } catch (const PictureFailure& error) {
      print_line("Error: ", error.what(), " Please try again");
      continue;
    }
    encode_frame(frame_samples(*picture), FrameBytes(frame.data(), frame_bytes));
    write_all(target, reinterpret_cast<const char*>(frame.data()), frame.size());
    ++count;
  }
  close_after_writing(target);
}
