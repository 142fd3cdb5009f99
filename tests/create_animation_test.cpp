// Letter L run in-process, where the console's number format can be set as the extended
// transfer leaves it.
#include <gtest/gtest.h>

#include <iomanip>

#include "animation/actions.hpp"
#include "shell/console.hpp"
#include "tests/support/bmp.hpp"
#include "tests/support/scripted_console.hpp"

using testing_support::Bytes;
using testing_support::make_bmp;
using testing_support::ScratchFolder;

namespace {

class ConsoleSession : public ::testing::Test {
 protected:
  void feed(const std::string& text) { console_.feed(text); }
  std::string printed() const { return console_.printed(); }

 private:
  testing_support::ScriptedConsole console_;
};

std::string prompt(const std::string& number) {
  return "Source fileFichier (.bmp) n" + number + " (Press Enter to finish): ";
}

}  // namespace

TEST_F(ConsoleSession, PicturePromptsFollowTheConsolesNumberFormat) {
  ScratchFolder folder;
  const std::string picture = (folder / "white.bmp").string();
  testing_support::write_bytes(picture,
                               make_bmp({}, [](int, int) { return testing_support::Rgb{}; }));
  struct Case {
    bool hexadecimal;
    std::string tenth;
  };
  for (const Case& c : {Case{false, "10"}, Case{true, "a"}}) {
    SCOPED_TRACE(c.tenth);
    std::string input = (folder / "anim.bin").string() + "\n";
    for (int frame = 0; frame < 10; ++frame) input += picture + "\n";
    input += "missing.bmp\n" + picture + "\n\n";
    feed(input);
    if (c.hexadecimal) std::cout << std::hex << std::setfill('0');
    create_animation();
    std::string expected = "Target file (Ex: C:\\LG_poweroff.bin): ";
    for (const char* number : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}) {
      expected += prompt(number);
    }
    expected += prompt(c.tenth) +
                "Error: Failed to open file 'missing.bmp' for reading. Please try again\n" +
                prompt(c.tenth) + prompt(c.hexadecimal ? "b" : "11");
    EXPECT_EQ(printed(), expected);
    EXPECT_EQ(std::filesystem::file_size(folder / "anim.bin"), 11u * 153'600u);
  }
}
