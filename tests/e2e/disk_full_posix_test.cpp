// A full disk under the files that K, L and a backup write: the file being written is the
// full device (a node of the test's own, never the machine's /dev/full) or a link to it,
// or lies on a small file system of its own that fills up part way. The failure is
// reported, the menu comes back, and every other file is left as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "tests/support/action_files.hpp"
#include "tests/support/transcript.hpp"

using testing_support::read_bytes;
using testing_support::TranscriptTest;

namespace {

namespace fs = std::filesystem;

const std::string write_failure =
    "Error during opening/reading/writing of file: ios_base::badbit set\n";

// A 1 MiB memory file system on `folder` while the object lives, where the test may mount
// one (Linux, as root): six frames fit on it and four pictures.
struct SmallDisk {
  explicit SmallDisk(const fs::path& folder) : folder(folder.string()) {
    fs::create_directory(folder);
    const std::string mount = "mount -t tmpfs -o size=1m tmpfs '" + this->folder + "' 2>/dev/null";
    mounted = fs::exists("/proc/self/mounts") && std::system(mount.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted) std::system(("umount -l '" + folder + "'").c_str());
  }
  std::string folder;
  bool mounted;
};

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

TEST_F(DiskFull, AFailedWriteIsReportedAndTheMenuComesBack) {
  // The full device (character device 1, 7 on Linux), made in the work folder: a test that
  // went wrong could replace or remove it, never the machine's own.
  if (::mknod(work("full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
    GTEST_SKIP() << "NOT TESTED: no device node can be made here (mknod needs root)";
  }
  const struct {
    const char* action;
    std::string input;
    const char* written;  // the file that the action writes: the full device or a link to it
    bool linked;
    std::string failure;
  } cases[] = {
      {"K", "K\nanimation.bin\nframe\n", "frame0.bmp", true,
       "Error when operating: The file 'frame0.bmp' cannot be written to its end.\n"},
      {"O", "O\n\\\\.\\USB1\nsecpack.fls\nbackup.bin\n", "backup.bin", true, write_failure},
      {"O to the device itself", "O\n\\\\.\\USB1\nsecpack.fls\nfull\n", "full", false,
       write_failure},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.action);
    if (test.linked) fs::create_symlink(work("full"), work(test.written));
    const auto session =
        run(test.input + "W\nQ\n", {{"KORVANTA_VIRTUAL_PHONE", work("flash").string()}});
    // The failure is the last line of the action's pass; an invalid choice follows.
    const std::string tail = test.failure + "\n" + testing_support::menu +
                             "Choice: Invalid choice\n\n" + testing_support::menu + "Choice: \n";
    ASSERT_GE(session.output.size(), tail.size());
    EXPECT_EQ(session.output.substr(session.output.size() - tail.size()), tail) << session.output;
    EXPECT_EQ(fs::is_symlink(work(test.written)), test.linked);
    EXPECT_TRUE(fs::is_character_file(work("full"))) << "a device is written to, never replaced";
    expect_other_files_kept();
  }
}

TEST_F(DiskFull, AFrameOrPictureThatDoesNotFitIsNotLeftInPart) {
  const SmallDisk disk(work("disk"));
  if (!disk.mounted) GTEST_SKIP() << "NOT TESTED: no small file system can be mounted here";
  constexpr std::uintmax_t frame = 153'600, picture = 230'454;
  testing_support::write_bytes(work("six.bin"), testing_support::Bytes(6 * frame, 0x5A));
  std::string pictures;  // seven: the seventh frame does not fit
  for (int number = 0; number < 7; ++number) pictures += "picture.bmp\n";
  const struct {
    std::string input;
    std::string failure;
    std::map<std::string, std::uintmax_t> left;  // on the small disk, with their sizes
  } cases[] = {
      {"L\ndisk/a.bin\n" + pictures, write_failure, {{"a.bin", 6 * frame}}},
      {"K\nsix.bin\ndisk/f\n",
       "Error when operating: The file 'disk/f4.bmp' cannot be written to its end.\n",
       {{"f0.bmp", picture}, {"f1.bmp", picture}, {"f2.bmp", picture}, {"f3.bmp", picture}}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.input);
    const auto session = run(test.input + "Q\n");
    EXPECT_TRUE(
        session.output.ends_with(test.failure + "\n" + testing_support::menu + "Choice: \n"))
        << session.output;
    std::map<std::string, std::uintmax_t> left;
    for (const auto& entry : fs::directory_iterator(work("disk"))) {
      left[entry.path().filename().string()] = entry.file_size();
      fs::remove(entry.path());
    }
    EXPECT_EQ(left, test.left);
    expect_other_files_kept();
  }
}
