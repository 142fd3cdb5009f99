// Claims held at once past the shell's usual limit of open files.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <vector>

#include "shell/target_file.hpp"
#include "tests/support/files.hpp"

TEST(TargetFile, ClaimsMoreFilesAtOnceThanTheSoftLimitOfOpenFiles) {
  rlimit earlier{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &earlier), 0);
  if (earlier.rlim_max < 512) GTEST_SKIP() << "the hard limit is " << earlier.rlim_max;
  rlimit low = earlier;
  low.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  const testing_support::ScratchFolder folder;
  std::vector<TargetFile> pictures;
  for (int index = 0; index < 300; ++index) {
    pictures.emplace_back((folder / ("p" + std::to_string(index) + ".bmp")).string(),
                          Durability::cached);
    EXPECT_TRUE(pictures.back().creatable()) << "picture " << index;
  }
  pictures.clear();
  setrlimit(RLIMIT_NOFILE, &earlier);
}
