// The program beside other runs of it and other programs, in one work folder: the texts of
// its refusals and the fixture of the tests of both platforms.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/phone_fixture.hpp"
#include "tests/support/bmp.hpp"

namespace shared_files {

using namespace phone_testing;
using testing_support::write_bytes;
namespace fs = std::filesystem;

inline const std::string eep_backup = "O\n" + answers("eep.bin") + "Q\n";
inline const std::string asked_for_data = version + port_prompt + sec_pack_prompt + "Data file: ";
inline const std::string backed_up = transfer_opening + booted + receiving + closing;
inline const std::string l_prompt = "Target file (Ex: C:\\LG_poweroff.bin): ";
inline const std::string k_prompts =
    "Source file (Ex: C:\\LG_poweron.bin): Target file (Ex: C\\image): ";
inline constexpr std::size_t eep_bytes = 0x8000;

inline std::string claimed(const std::string& name) {
  return "Another run of the program is writing the file '" + name +
         "': wait until it ends, or choose another name.\n";
}
inline std::string read_only(const std::string& name) {
  return "The file '" + name + "' is read-only: make it writable, or choose another name.\n";
}

// A name typed for a file, and the file's name as the program names it.
struct Spelling {
  std::string typed;
  std::string shown;
};

inline void set_read_only(const fs::path& path, bool read_only) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  read_only ? fs::perm_options::remove : fs::perm_options::add);
}

class SharedFiles : public PhoneTranscript {
 protected:
  SharedFiles() { write_bytes(work("eep.bin"), earlier); }
  ~SharedFiles() override {
    for (const auto& entry : fs::recursive_directory_iterator(work())) {
      set_read_only(entry.path(), false);  // for the scratch folder's removal
    }
  }

  // A picture of a frame's size, all red.
  void write_picture(const std::string& name) {
    write_bytes(work(name), testing_support::make_bmp({}, [](int, int) {
                  return testing_support::Rgb{255, 0, 0};
                }));
  }

  // A second console's run in the same folder, with a call log of its own.
  Session run_second(const std::string& input) {
    fs::remove(work("second.log"));
    return run_beside(input, {{"KORVANTA_VIRTUAL_PHONE", work("flash").string()},
                              {"KORVANTA_STANDIN_LOG", work("second.log").string()}});
  }
  std::string second_calls() const {
    return fs::exists(work("second.log")) ? testing_support::read_text(work("second.log")) : "";
  }

  // While a first run backs up into eep.bin, a second run typing each spelling of it is
  // refused before it opens its port, and eep.bin gets the first run's pages.
  void expect_each_refused_while_held(const std::vector<Spelling>& spellings) {
    for (const Spelling& spelling : spellings) {
      SCOPED_TRACE(spelling.typed);
      write_bytes(work("eep.bin"), earlier);
      while_upload_held([&] {
        const Session second = run_second("O\n" + answers(spelling.typed) + "Q\n");
        EXPECT_EQ(second.output,
                  testing_support::transcript({asked_for_data + claimed(spelling.shown)}));
        EXPECT_EQ(second_calls(), bound({version_call}));
      });
      const Session first = run_phone(eep_backup, held_upload());
      EXPECT_EQ(first.output, testing_support::transcript({backed_up}));
      EXPECT_EQ(testing_support::read_bytes(work("eep.bin")), Bytes(eep_bytes, 0xFF));
    }
  }

  // The results kept beside `target` ("<stem>.new-<time><extension>"), oldest first.
  std::vector<std::string> kept_beside(const std::string& target) const {
    const fs::path path(target);
    const std::string start = path.stem().string() + ".new-";
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(work(path.parent_path().string()))) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with(start) && name.ends_with(path.extension().string())) {
        names.push_back((path.parent_path() / name).string());
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The program's temporary files still in the folder.
  std::vector<std::string> left_over() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(work())) {
      if (entry.is_regular_file() && entry.path().extension() == ".incomplete") {
        names.push_back(entry.path().string());
      }
    }
    return names;
  }

  const Bytes earlier = random_bytes(1000, 41);
};

}  // namespace shared_files
