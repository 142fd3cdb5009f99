// Other programs holding the program's files on Windows, with the sharing they choose; the
// attributes that a replaced file keeps; the spellings of one file; and Windows' limit on
// the length of a path, which wine sets one character higher and applies to the typed text
// only.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "tests/e2e/shared_files.hpp"
#include "tests/support/process.hpp"

using namespace shared_files;
using testing_support::read_bytes;
using testing_support::transcript;

namespace {

const std::string held_by_another =
    "' is open in another program: close it there, or choose another name.\n";

// Another program that holds a file of the work folder open for a time, in a thread of the
// test, from when it starts until `hold` has passed or until it is let go.
class Holder {
 public:
  Holder(const fs::path& file, const std::string& sharing, std::chrono::milliseconds hold)
      : ready_(file.string() + ".holder-ready") {
    testing_support::ProcessRequest request;
    request.program = (testing_support::built_folder() / "korvanta_file_holder.exe").string();
    request.folder = file.parent_path().string();
    request.input_file = request.output_file = request.error_file = "NUL";
    request.timeout = std::chrono::seconds(60);
    request.arguments = {file.string(), sharing, std::to_string(hold.count()), ready_.string()};
    thread_ = std::thread([this, request] { outcome_ = testing_support::run_process(request); });
    EXPECT_TRUE(wait_until([&] { return fs::exists(ready_); })) << "the holder never held";
  }
  ~Holder() {
    let_go();
    thread_.join();
    EXPECT_EQ(outcome_.exit_status, 0) << outcome_.failure;
  }
  void let_go() { fs::remove(ready_); }

 private:
  fs::path ready_;
  testing_support::ProcessOutcome outcome_;
  std::thread thread_;
};

DWORD attributes_of(const fs::path& path) {
  return GetFileAttributesW(path.c_str());
}

}  // namespace

TEST_F(SharedFiles, AnotherProgramHoldingTheDataFileCostsNoResult) {
  using namespace std::chrono_literals;
  const std::string kept_line =
      "The file 'eep.bin' could not be replaced (it is open in another program): the new "
      "result is kept as '<kept>'.\n";
  struct Case {
    const char* what;
    const char* sharing;
    std::chrono::milliseconds hold;
    bool from_the_start;                // else from the end of the upload
    std::string after_the_menu_choice;  // what the backup prints
    bool in_place;                      // else the earlier data file stays
  };
  const Case cases[] = {
      {"an editor, open since before, without delete sharing", "rw", 60s, true,
       asked_for_data + "The file 'eep.bin" + held_by_another, false},
      {"a scanner for half a second at the end", "rw", 500ms, false, backed_up, true},
      {"a preview that shares deletion, for a second", "rwd", 1000ms, false, backed_up, true},
      {"a viewer that keeps it open, sharing deletion", "rwd", 60s, false, backed_up + kept_line,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write_bytes(work("eep.bin"), earlier);
    for (const std::string& name : kept_beside("eep.bin")) fs::remove(work(name));
    std::optional<Holder> holder;
    if (c.from_the_start) {
      holder.emplace(work("eep.bin"), c.sharing, c.hold);
      while_running(nullptr);
    } else {
      while_upload_held([&] { holder.emplace(work("eep.bin"), c.sharing, c.hold); });
    }
    const Session session = run_phone(eep_backup, held_upload());
    holder.reset();
    const std::vector<std::string> kept = kept_beside("eep.bin");
    ASSERT_EQ(kept.size(), c.after_the_menu_choice.ends_with(kept_line) ? 1u : 0u);
    std::string printed = c.after_the_menu_choice;
    if (!kept.empty()) printed.replace(printed.find("<kept>"), 6, kept[0]);
    EXPECT_EQ(session.output, transcript({printed}));
    EXPECT_EQ(read_bytes(work("eep.bin")), c.in_place ? Bytes(eep_bytes, 0xFF) : earlier);
    if (c.after_the_menu_choice.ends_with(kept_line)) {
      EXPECT_EQ(read_bytes(work(kept[0])), Bytes(eep_bytes, 0xFF));
    }
    EXPECT_EQ(left_over(), std::vector<std::string>{});
  }
}

TEST_F(SharedFiles, APictureThatAViewerKeepsOpenIsKeptAndTheSetIsToldMixed) {
  write_bytes(work("anim.bin"), random_bytes(4 * 153'600, 43));
  write_bytes(work("p1.bmp"), earlier);
  Holder viewer(work("p1.bmp"), "rwd", std::chrono::seconds(60));
  const Session session = run("K\nanim.bin\np\nQ\n");
  const std::vector<std::string> kept_names = kept_beside("p1.bmp");
  ASSERT_EQ(kept_names.size(), 1u);
  EXPECT_EQ(session.output,
            transcript({k_prompts +
                        "The file 'p1.bmp' could not be replaced (it is open in another program): "
                        "the new result is kept as '" +
                        kept_names[0] +
                        "'. The picture 'p0.bmp' "
                        "is new. The pictures 'p2.bmp' to 'p3.bmp' are as they were. Run K again "
                        "before L uses these pictures.\n"}));
  EXPECT_EQ(read_bytes(work("p1.bmp")), earlier);
  EXPECT_FALSE(fs::exists(work("p2.bmp")));
}

// Windows' own path rules make each of these the name of one file: a second run that types
// any of them while a first run writes that file is refused before its phone is read.
TEST_F(SharedFiles, EverySpellingOfAFileMeetsOneClaim) {
  std::vector<Spelling> spellings = {
      {"eep.bin.", "eep.bin"},       {"eep.bin ", "eep.bin"},
      {"eep.bin. .", "eep.bin"},     {"EEP.BIN", "eep.bin"},
      {"eep.bin::$DATA", "eep.bin"}, {work("eep.bin").string(), work("eep.bin").string()},
      {"eep.bin", "eep.bin"}};
  wchar_t short_name[MAX_PATH] = {};
  // A drive that makes 8.3 names (wine makes none): its short name too.
  if (GetShortPathNameW(work("eep.bin").c_str(), short_name, MAX_PATH) != 0 &&
      fs::path(short_name).filename() != "eep.bin") {
    spellings.push_back({fs::path(short_name).filename().string(), "eep.bin"});
  }
  expect_each_refused_while_held(spellings);
}

TEST_F(SharedFiles, AReplacedFileKeepsItsHiddenAndSystemAttributes) {
  const DWORD marked = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  SetFileAttributesW(work("eep.bin").c_str(), marked);
  const Session session = run_phone(eep_backup);
  EXPECT_EQ(session.output, transcript({backed_up}));
  EXPECT_EQ(read_bytes(work("eep.bin")), Bytes(eep_bytes, 0xFF));
  EXPECT_EQ(attributes_of(work("eep.bin")) & marked, marked);
}

// Windows counts the whole path against its 259 characters; wine takes 260, and counts
// only the typed text: the program measures the full path itself, with room for the name
// a result is kept under.
TEST_F(SharedFiles, NamesAreMeasuredAgainstWindowsPathLimit) {
  write_picture("red.bmp");
  const std::size_t folder = work().string().size() + 1;  // with its backslash
  const auto name_of_full_length = [&](std::size_t length, const std::string& ending) {
    return std::string(length - folder - ending.size(), 'n') + ending;
  };
  // 259 characters, less the room that a kept result's name needs beside it (22).
  const std::string fits = name_of_full_length(237, ".bin");
  const std::string over = name_of_full_length(238, ".bin");
  const std::string data = name_of_full_length(234, ".bin");  // its raw file: 238
  const auto too_long = [](const std::string& name) {
    return "The name '" + name + "' is too long for the system: choose a shorter name or folder.\n";
  };
  const Session session =
      run_phone("L\n" + fits + "\nred.bmp\n\nL\n" + over + "\nO\n" + answers(data) + "Q\n");
  const std::string frame_prompts =
      "Source fileFichier (.bmp) n0 (Press Enter to finish): "
      "Source fileFichier (.bmp) n1 (Press Enter to finish): ";
  EXPECT_EQ(session.output, transcript({l_prompt + frame_prompts, l_prompt + too_long(over),
                                        asked_for_data + too_long(data + ".big")}));
  EXPECT_EQ(fs::file_size(work(fits)), 153'600u);
  EXPECT_EQ(left_over(), std::vector<std::string>{});
}
