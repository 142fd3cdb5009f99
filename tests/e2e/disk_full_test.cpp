// A full disk under the files that K and a backup write: the file being written is a link
// to the full device. The write failure is reported as a bad stream, the menu comes back,
// and every other file is left as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/support/action_files.hpp"
#include "tests/support/transcript.hpp"

using testing_support::read_bytes;
using testing_support::TranscriptTest;

namespace {

namespace fs = std::filesystem;

const fs::path full_device = "/dev/full";
const std::string write_failure =
    "Error during opening/reading/writing of file: ios_base::badbit set\n";

class DiskFull : public TranscriptTest {
 protected:
  DiskFull() {
    install_every_standin();
    for (const std::string& name : testing_support::write_action_files(work())) {
      kept_[name] = read_bytes(work(name));
    }
  }

  void expect_other_files_kept() {
    for (const auto& [name, bytes] : kept_) EXPECT_EQ(read_bytes(work(name)), bytes) << name;
  }

 private:
  std::map<std::string, testing_support::Bytes> kept_;
};

}  // namespace

TEST_F(DiskFull, AFailedWriteIsABadStreamAndTheMenuComesBack) {
  if (!fs::exists(full_device)) GTEST_SKIP() << "no device that refuses every write";
  const struct {
    const char* action;
    std::string input;
    const char* written;  // the file that the action writes, linked to the full device
  } cases[] = {
      {"K", "K\nanimation.bin\nframe\n", "frame0.bmp"},
      {"O", "O\n\\\\.\\USB1\nsecpack.fls\nbackup.bin\n", "backup.bin"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.action);
    fs::create_symlink(full_device, work(test.written));
    const auto session =
        run(test.input + "W\nQ\n", {{"KORVANTA_VIRTUAL_PHONE", work("flash").string()}});
    // The failure is the last line of the action's pass; an invalid choice follows.
    const std::string tail = write_failure + "\n" + testing_support::menu +
                             "Choice: Invalid choice\n\n" + testing_support::menu + "Choice: \n";
    ASSERT_GE(session.output.size(), tail.size());
    EXPECT_EQ(session.output.substr(session.output.size() - tail.size()), tail) << session.output;
    EXPECT_TRUE(fs::is_symlink(work(test.written)));
    expect_other_files_kept();
  }
}
