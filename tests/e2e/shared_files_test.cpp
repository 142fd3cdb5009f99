// The program on a PC that other runs of it and other programs share: a second console's
// run, a file marked to keep, a name in the way. Every case ends with a whole result, in
// place or kept under a name the line gives, or is refused before the phone is read.
#include "tests/e2e/shared_files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace shared_files;
using testing_support::read_bytes;
using testing_support::write_bytes;
namespace fs = std::filesystem;

TEST_F(SharedFiles, ASecondRunAskingForAFileThatTheFirstWritesIsRefusedAndTouchesNothing) {
  struct Case {
    const char* what;
    std::string input;
    std::string printed;
    std::string log;
  };
  const Case cases[] = {
      {"a backup to the same data file", eep_backup, asked_for_data + claimed("eep.bin"),
       bound({version_call})},
      {"a backup whose data file is the first run's raw file",
       "O\n" + answers("eep.bin.big") + "Q\n", asked_for_data + claimed("eep.bin.big"),
       bound({version_call})},
      {"an animation over the first run's data file", "L\neep.bin\nQ\n",
       l_prompt + claimed("eep.bin"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write_bytes(work("eep.bin"), earlier);
    while_upload_held([&] {
      const Session second = run_second(c.input);
      EXPECT_EQ(second.output, testing_support::transcript({c.printed}));
      EXPECT_EQ(second_calls(), c.log);
      EXPECT_EQ(read_bytes(work("eep.bin")), earlier);
    });
    const Session first = run_phone(eep_backup, held_upload());
    EXPECT_EQ(first.output, testing_support::transcript({backed_up}));
    EXPECT_EQ(read_bytes(work("eep.bin")), Bytes(eep_bytes, 0xFF)) << "the first run's pages";
    EXPECT_EQ(left_over(), std::vector<std::string>{});
  }
}

TEST_F(SharedFiles, ADataFileMarkedToKeepDuringTheBackupStaysAndTheResultIsKeptBeside) {
  const std::string earlier_kept = "eep.new-20261209-235959.bin";  // an earlier run's result
  write_bytes(work(earlier_kept), Bytes(10, 0x22));
  while_upload_held([&] { set_read_only(work("eep.bin"), true); });
  const Session session = run_phone(eep_backup, held_upload());
  const std::vector<std::string> kept = kept_beside("eep.bin");
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept.front(), earlier_kept) << "the newer result's name sorts after the older";
  EXPECT_EQ(session.output,
            testing_support::transcript(
                {backed_up +
                 "The file 'eep.bin' could not be replaced (it is read-only): the new "
                 "result is kept as '" +
                 kept.back() + "'.\n"}));
  EXPECT_EQ(read_bytes(work("eep.bin")), earlier);
  EXPECT_EQ(read_bytes(work(kept.back())), Bytes(eep_bytes, 0xFF));
  EXPECT_EQ(read_bytes(work(earlier_kept)), Bytes(10, 0x22));
  EXPECT_EQ(left_over(), std::vector<std::string>{});
}

TEST_F(SharedFiles, WhatWouldKeepAResultFromItsPlaceIsRefusedBeforeThePhoneIsRead) {
  write_picture("red.bmp");
  write_bytes(work("anim.bin"), random_bytes(3 * 153'600, 42));
  struct Case {
    const char* what;
    std::function<void()> setup;
    std::string input;
    std::string printed;
    std::string log;
  };
  const Case cases[] = {
      {"a read-only data file", [&] { set_read_only(work("eep.bin"), true); }, eep_backup,
       asked_for_data + read_only("eep.bin"), bound({version_call})},
      {"a read-only raw file",
       [&] {
         write_bytes(work("eep.bin.big"), {});
         set_read_only(work("eep.bin.big"), true);
       },
       eep_backup, asked_for_data + read_only("eep.bin.big"), bound({version_call})},
      {"a folder under the temporary name",
       [&] { fs::create_directory(work("eep.bin.incomplete")); }, eep_backup,
       asked_for_data +
           "The name 'eep.bin.incomplete' is taken by something that is not the program's: "
           "rename or remove it.\n",
       bound({version_call})},
      {"a data file in a folder that does not exist", [] {}, "O\n" + answers("no/eep.bin") + "Q\n",
       asked_for_data + "The folder of the file 'no/eep.bin' does not exist.\n" +
           "Error during opening/reading/writing of file: ios_base::failbit set\n",
       bound({version_call})},
      {"an animation over a read-only file", [&] { set_read_only(work("eep.bin"), true); },
       "L\neep.bin\nQ\n", l_prompt + read_only("eep.bin"), ""},
      {"pictures of which the third is read-only",
       [&] {
         write_bytes(work("p2.bmp"), earlier);
         set_read_only(work("p2.bmp"), true);
       },
       "K\nanim.bin\np\nQ\n", k_prompts + read_only("p2.bmp"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.setup();
    const Session session = run_phone(c.input);
    EXPECT_EQ(session.output, testing_support::transcript({c.printed}));
    EXPECT_EQ(calls(), c.log);
    EXPECT_EQ(read_bytes(work("eep.bin")), earlier);
    EXPECT_FALSE(fs::exists(work("p0.bmp"))) << "a picture was written before the refusal";
    EXPECT_EQ(left_over(), std::vector<std::string>{});
    for (const auto& entry : fs::directory_iterator(work())) set_read_only(entry.path(), false);
    fs::remove_all(work("eep.bin.incomplete"));
    fs::remove(work("eep.bin.big"));
  }
}

// A file system that replaces by a removal and a rename (FAT32, exFAT) can be stopped
// between the two: the whole result is then only the incomplete file, which the next run
// leaves as it is.
TEST_F(SharedFiles, AnIncompleteFileWhoseTargetIsGoneIsNeverEmptied) {
  fs::remove(work("eep.bin"));
  write_bytes(work("eep.bin.incomplete"), earlier);
  const Session session = run_phone(eep_backup);
  EXPECT_EQ(session.output,
            testing_support::transcript(
                {asked_for_data +
                 "An earlier run left 'eep.bin.incomplete', which may hold its whole result, and "
                 "'eep.bin' is not there: rename it to 'eep.bin', or remove it.\n"}));
  EXPECT_EQ(calls(), bound({version_call}));
  EXPECT_EQ(read_bytes(work("eep.bin.incomplete")), earlier);
}
