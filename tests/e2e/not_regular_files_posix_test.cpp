// Files that an action reads itself (G's and K's sources, L's pictures) named by something
// that is no regular file: a pipe, whose opening would wait for a writer; a device that
// never ends or waits for a typist; a folder. Each is refused before it is opened. POSIX
// pipes and devices.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "tests/support/bmp.hpp"
#include "tests/support/transcript.hpp"

using testing_support::transcript;

namespace {

const std::string not_opened =
    "Error during opening/reading/writing of file: ios_base::failbit set\n";

std::string picture_prompt(int number) {
  return "Source fileFichier (.bmp) n" + std::to_string(number) + " (Press Enter to finish): ";
}

class NotRegularFiles : public testing_support::TranscriptTest {};

}  // namespace

TEST_F(NotRegularFiles, ArePromptlyRefusedAsSourcesAndAskedForAgainAsPictures) {
  ASSERT_EQ(mkfifo(work("pipe").c_str(), 0600), 0);
  std::filesystem::create_directory(work("folder"));
  testing_support::write_bytes(work("white.bmp"), testing_support::make_bmp({}, [](int, int) {
                                 return testing_support::Rgb{255, 255, 255};
                               }));
  for (const std::string name : {"pipe", "/dev/zero", "/dev/tty", "folder"}) {
    SCOPED_TRACE(name);
    const testing_support::Session session =
        run("G\n" + name + "\nK\n" + name + "\nL\nanim.bin\n" + name + "\nwhite.bmp\n\nQ\n", {},
            std::chrono::seconds(5));
    EXPECT_EQ(
        session.output,
        transcript({"Source file (Ex: C:\\KS360AT_CUST.dfat): " + not_opened,
                    "Source file (Ex: C:\\LG_poweron.bin): " + not_opened,
                    "Target file (Ex: C:\\LG_poweroff.bin): " + picture_prompt(0) +
                        "Error: The file '" + name + "' is not a regular file. Please try again\n" +
                        picture_prompt(0) + picture_prompt(1)}));
    std::error_code missing;
    EXPECT_EQ(std::filesystem::file_size(work("anim.bin"), missing), 153'600u) << "one frame";
    EXPECT_FALSE(std::filesystem::exists(work("anim.bin.incomplete")));
  }
}
