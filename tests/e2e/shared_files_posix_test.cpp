// What a POSIX system has of its own: the permissions a replaced file keeps, a folder that
// takes no new file, and the limit of 255 bytes on one name.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/e2e/shared_files.hpp"

using namespace shared_files;
using testing_support::read_bytes;
using testing_support::transcript;

namespace {

mode_t mode_of(const fs::path& path) {
  struct stat status {};
  stat(path.c_str(), &status);
  return status.st_mode & 07777;
}

// A folder that takes no new file, for root too where the file system lets it be marked
// immutable; false when neither can be had here.
bool refuse_new_files(const fs::path& folder, bool refuse) {
  chmod(folder.c_str(), refuse ? 0555 : 0755);
  if (geteuid() != 0) return true;
  const std::string command =
      std::string("chattr ") + (refuse ? "+i" : "-i") + " '" + folder.string() + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

}  // namespace

TEST_F(SharedFiles, AReplacedFileKeepsItsPermissions) {
  chmod(work("eep.bin").c_str(), 0640);
  EXPECT_EQ(run_phone(eep_backup).output, transcript({backed_up}));
  EXPECT_EQ(read_bytes(work("eep.bin")), Bytes(eep_bytes, 0xFF));
  EXPECT_EQ(mode_of(work("eep.bin")), 0640u);
}

TEST_F(SharedFiles, AFolderThatTakesNoNewFileIsToldBeforeThePhoneIsRead) {
  fs::create_directory(work("kept"));
  write_bytes(work("kept/eep.bin"), earlier);
  if (!refuse_new_files(work("kept"), true)) GTEST_SKIP() << "no folder here refuses root";
  const Session session = run_phone("O\n" + answers("kept/eep.bin") + "Q\n");
  refuse_new_files(work("kept"), false);
  EXPECT_EQ(session.output,
            transcript({asked_for_data +
                        "The folder of the file 'kept/eep.bin' takes no new file: choose another "
                        "folder.\n"}));
  EXPECT_EQ(calls(), bound({version_call}));
  EXPECT_EQ(read_bytes(work("kept/eep.bin")), earlier);
}

TEST_F(SharedFiles, ARawFileNameOverTheLimitIsRefusedBeforeThePhoneIsRead) {
  // Names with room for a kept result's mark (".new-YYYYMMDD-HHMMSS-N", 22 bytes) within
  // 255 bytes, but for the raw file's.
  const std::string data(230, 'd');
  const std::string animation(230, 'a');  // with ".bin": 234 bytes
  write_bytes(work(data), earlier);
  const Session session = run_phone("O\n" + answers(data) + "L\n" + animation + ".bin\nQ\n");
  const auto too_long = [](const std::string& name) {
    return "The name '" + name + "' is too long for the system: choose a shorter name or folder.\n";
  };
  EXPECT_EQ(session.output, transcript({asked_for_data + too_long(data + ".big"),
                                        l_prompt + too_long(animation + ".bin")}));
  EXPECT_EQ(read_bytes(work(data)), earlier);
}

// Names that reach one file through other folders' names: one claim.
TEST_F(SharedFiles, EverySpellingOfAFileMeetsOneClaim) {
  fs::create_directory_symlink(work(), work("linked"));
  const std::string work_folder = work().filename().string();
  expect_each_refused_while_held(
      {{"./eep.bin", "./eep.bin"},
       {"../" + work_folder + "/eep.bin", "../" + work_folder + "/eep.bin"},
       {"linked/eep.bin", "linked/eep.bin"}});
}
