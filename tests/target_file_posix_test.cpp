// What the written file does that only the system calls show: its flush before the rename,
// its claim taken only on the file that still has the name, claims past the shell's usual
// limit of open files. The test program's own fsync and flock come before the C library's.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include "shell/target_file.hpp"
#include "tests/support/files.hpp"

using testing_support::read_text;
using testing_support::ScratchFolder;
using testing_support::write_text;

namespace {

std::vector<std::string> flushed;   // the names of the files fsync was called on, at the call
std::function<void()> before_lock;  // once, at the next flock

}  // namespace

extern "C" int fsync(int file) {
  char path[4096] = {};
  if (readlink(("/proc/self/fd/" + std::to_string(file)).c_str(), path, sizeof path - 1) > 0) {
    flushed.push_back(std::filesystem::path(path).filename().string());
  }
  return static_cast<int>(syscall(SYS_fsync, file));
}

extern "C" int flock(int file, int operation) {
  if (before_lock) std::exchange(before_lock, {})();
  return static_cast<int>(syscall(SYS_flock, file, operation));
}

// After the rename the file would be named data.bin.
TEST(TargetFile, AFlushedFileReachesTheDiskBeforeItIsRenamedIntoPlace) {
  for (const Durability durability : {Durability::flushed, Durability::cached}) {
    const ScratchFolder folder;
    TargetFile file((folder / "data.bin").string(), durability);
    file.stream() << "new";
    flushed.clear();
    file.put_in_place();
    EXPECT_EQ(std::count(flushed.begin(), flushed.end(), "data.bin.incomplete"),
              durability == Durability::flushed);
  }
}

// Another run renames its finished file into place between this run's opening of the same
// incomplete file and its lock: the claim goes to a new incomplete file, and the other run's
// result stays whole.
TEST(TargetFile, AClaimCountsOnlyForTheFileThatStillHasTheName) {
  const ScratchFolder folder;
  const std::string target = (folder / "data.bin").string();
  write_text(target, "earlier");
  write_text(incomplete_name(target), "first run's result");
  before_lock = [&] { std::filesystem::rename(incomplete_name(target), target); };
  TargetFile(target, Durability::cached).stream() << "second";
  EXPECT_EQ(read_text(target), "first run's result");
}

TEST(TargetFile, ClaimsMoreFilesAtOnceThanTheSoftLimitOfOpenFiles) {
  rlimit earlier{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &earlier), 0);
  if (earlier.rlim_max < 512) GTEST_SKIP() << "the hard limit is " << earlier.rlim_max;
  rlimit low = earlier;
  low.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  const ScratchFolder folder;
  std::vector<TargetFile> pictures;
  for (int index = 0; index < 300; ++index) {
    const std::string name = "p" + std::to_string(index) + ".bmp";
    ASSERT_NO_THROW(pictures.emplace_back((folder / name).string(), Durability::cached)) << name;
  }
  pictures.clear();
  setrlimit(RLIMIT_NOFILE, &earlier);
}
