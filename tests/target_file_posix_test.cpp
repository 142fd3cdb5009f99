// What the written file does that only the system calls show: its flush before the rename,
// its claim taken only on the file that still has the name, claims past the shell's usual
// limit of open files. The test program's own fsync, rename and flock come before the C
// library's, and watch them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
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

std::vector<std::string> calls;     // "fsync data.bin.incomplete", "rename data.bin.incomplete"
std::function<void()> before_lock;  // once, at the next flock

std::string leaf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

}  // namespace

extern "C" int fsync(int file) {
  char path[4096] = {};
  const std::string link = "/proc/self/fd/" + std::to_string(file);
  if (readlink(link.c_str(), path, sizeof path - 1) > 0) calls.push_back("fsync " + leaf(path));
  return static_cast<int>(syscall(SYS_fsync, file));
}

extern "C" int rename(const char* from, const char* to) {
  calls.push_back("rename " + leaf(from));
  return static_cast<int>(syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

extern "C" int flock(int file, int operation) {
  if (before_lock) std::exchange(before_lock, {})();
  return static_cast<int>(syscall(SYS_flock, file, operation));
}

TEST(TargetFile, AFlushedFileReachesTheDiskBeforeItIsRenamedIntoPlace) {
  struct Case {
    Durability durability;
    std::vector<std::string> calls;
  };
  for (const Case& c :
       {Case{Durability::flushed, {"fsync data.bin.incomplete", "rename data.bin.incomplete"}},
        Case{Durability::cached, {"rename data.bin.incomplete"}}}) {
    const ScratchFolder folder;
    write_text(folder / "data.bin", "earlier");
    TargetFile file((folder / "data.bin").string(), c.durability);
    file.stream() << "new";
    calls.clear();
    file.put_in_place();
    std::erase_if(calls, [](const std::string& call) { return !call.ends_with(".incomplete"); });
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(read_text(folder / "data.bin"), "new");
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
  {
    TargetFile file(target, Durability::cached);
    file.stream() << "second";
  }
  EXPECT_FALSE(before_lock);
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
