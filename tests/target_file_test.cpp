// A file written in place of another: its claim, and what becomes of the earlier file and
// of the new one on every way out.
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

std::string failure_text(const std::function<void()>& step) {
  try {
    step();
  } catch (const TextFailure& failure) {
    return failure.what();
  }
  return "";
}

void write_new(TargetFile& file, const std::string& text) {
  file.stream() << text;
  ASSERT_TRUE(file.stream().good());
}

void make_read_only(const fs::path& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
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
      {"written, then a failure", [](TargetFile& file) { write_new(file, "partial"); }, "partial"},
      {"cut after a failed frame",
       [](TargetFile& file) { write_new(file, "whole+torn"), file.cut_to(5); }, "whole"},
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

TEST(TargetFile, IsOneRunsAtATimeAndFreeOnceThatRunLetsGo) {
  const ScratchFolder folder;
  const std::string target = (folder / "anim.bin").string();
  std::optional<TargetFile> first(std::in_place, target, Durability::flushed);
  write_new(*first, "first run's frames");
  EXPECT_EQ(failure_text([&] { TargetFile second(target, Durability::flushed); }),
            "Another run of the program is writing the file '" + target +
                "': wait until it ends, or choose another name.");
  first->put_in_place();
  EXPECT_EQ(read_text(target), "first run's frames");
  first.reset();
  TargetFile second(target, Durability::flushed);
  write_new(second, "second run's frames");
  second.put_in_place();
  EXPECT_EQ(read_text(target), "second run's frames");
}

TEST(TargetFile, ThatCannotReplaceItsTargetIsKeptUnderAFreeName) {
  const ScratchFolder folder;
  const std::string target = (folder / "data.bin").string();
  write_text(target, "keep this one");
  write_text(folder / "data.new.bin", "kept by an earlier run");
  TargetFile file(target, Durability::flushed);
  write_new(file, "pages");
  make_read_only(target);  // after the claim: marked to keep while the phone was read
  const std::string kept = (folder / "data.new2.bin").string();
  EXPECT_EQ(failure_text([&] { file.put_in_place(); }),
            "The file '" + target + "' could not be replaced (it is read-only): the new result " +
                "is kept as '" + kept + "'.");
  EXPECT_EQ(read_text(target), "keep this one");
  EXPECT_EQ(read_text(kept), "pages");
  EXPECT_EQ(read_text(folder / "data.new.bin"), "kept by an earlier run");
}

TEST(TargetFile, RefusesBeforeAnythingIsWrittenWhatWouldStopIt) {
  struct Case {
    const char* what;
    std::function<void(const fs::path& target)> setup;
    const char* refusal;  // after "'<target>"
  };
  const Case cases[] = {
      {"read-only", [](const fs::path& target) { make_read_only(target); },
       "' is read-only: make it writable, or choose another name."},
      {"its temporary name taken by a folder",
       [](const fs::path& target) { fs::create_directory(incomplete_name(target.string())); },
       ".incomplete' is taken by something that is not the program's: rename or remove it."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ScratchFolder folder;
    const fs::path target = folder / "pic0.bmp";
    write_text(target, "earlier");
    c.setup(target);
    const std::string quoted = c.refusal[0] == '.' ? "The name '" : "The file '";
    EXPECT_EQ(failure_text([&] { TargetFile file(target.string(), Durability::cached); }),
              quoted + target.string() + c.refusal);
    EXPECT_EQ(read_text(target), "earlier");
  }
}

TEST(TargetFile, NamesStayWithinWhatFileSystemsTake) {
  const std::string folder = "some.folder/";
  const std::string long_leaf(250, 'a');
  const std::string short_name = incomplete_name(folder + long_leaf);
  EXPECT_EQ(short_name.rfind(folder, 0), 0u);
  EXPECT_LE(short_name.size() - folder.size(), 255u);
  EXPECT_NE(short_name, incomplete_name(folder + long_leaf + "b"));
  EXPECT_EQ(incomplete_name(folder + "data.bin"), folder + "data.bin.incomplete");

  struct Kept {
    const char* target;
    int attempt;
    const char* kept;
  };
  for (const Kept& c :
       {Kept{"data.bin", 1, "data.new.bin"}, Kept{"some.folder/data", 1, "some.folder/data.new"},
        Kept{"C:frame.1.bmp", 3, "C:frame.1.new3.bmp"}, Kept{".hidden", 1, ".hidden.new"}}) {
    EXPECT_EQ(kept_name(c.target, c.attempt), c.kept);
  }
}
