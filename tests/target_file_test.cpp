// A file written in place of another: what becomes of the earlier file and of the new one on
// every way out, and the names it is written and kept under. Its claim and refusals are
// tested through the program (tests/e2e/shared_files*_test.cpp).
#include "shell/target_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "shell/failure.hpp"
#include "tests/support/files.hpp"

using testing_support::read_text;
using testing_support::ScratchFolder;
using testing_support::write_text;
namespace fs = std::filesystem;

namespace {

void write_new(TargetFile& file, const std::string& text) {
  file.stream() << text;
  ASSERT_TRUE(file.stream().good());
}

}  // namespace

TEST(TargetFile, EndsWithTheEarlierFileOrTheWholeNewOne) {
  struct Case {
    const char* what;
    std::function<void(TargetFile&)> step;  // what the action does with it before it goes
    const char* target_after;
  };
  const Case cases[] = {
      {"put in place", [](TargetFile& file) { write_new(file, "new"), file.put_in_place(); },
       "new"},
      {"discarded", [](TargetFile& file) { write_new(file, "new"), file.discard(); }, "earlier"},
      {"never written (an action that failed before)", [](TargetFile&) {}, "earlier"},
      {"written, then a failure", [](TargetFile& file) { write_new(file, "partial"); }, "earlier"},
      {"written, then a failure of an action that keeps what it wrote",
       [](TargetFile& file) {
         EXPECT_THROW(file.put_in_place_after([&] {
           write_new(file, "whole+torn");
           file.cut_to(5);
           throw StreamFailure(std::ios_base::badbit);
         }),
                      StreamFailure);
       },
       "whole"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ScratchFolder folder;
    const std::string target = (folder / "data.bin").string();
    write_text(target, "earlier");
    {
      TargetFile file(target, Durability::flushed);
      EXPECT_EQ(read_text(target), "earlier");  // whole while the new one is written
      c.step(file);
    }
    EXPECT_EQ(read_text(target), c.target_after);
    EXPECT_FALSE(fs::exists(incomplete_name(target)));
  }
}

TEST(TargetFile, KeptNamesKeepTheExtensionAndSortAsTheirTimes) {
  struct Kept {
    const char* target;
    int attempt;
    const char* kept;
  };
  for (const Kept& c : {Kept{"data.bin", 1, "data.new-20261210-153012.bin"},
                        Kept{"some.folder/data", 1, "some.folder/data.new-20261210-153012"},
                        Kept{"frame.1.bmp", 3, "frame.1.new-20261210-153012-3.bmp"},
                        Kept{".hidden", 1, ".hidden.new-20261210-153012"}}) {
    EXPECT_EQ(kept_name(c.target, "20261210-153012", c.attempt), c.kept);
  }
}
