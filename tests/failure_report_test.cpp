#include <gtest/gtest.h>

#include <filesystem>
#include <new>

#include "shell/failure.hpp"
#include "shell/files.hpp"
#include "shell/menu.hpp"
#include "shell/target_file.hpp"
#include "tests/support/files.hpp"
#include "tests/support/scripted_console.hpp"

namespace {

// What the menu loop prints for a failure raised by `action`.
std::string report_of(const std::function<void()>& action, bool* input_left = nullptr) {
  const testing_support::ScriptedConsole console;
  const bool left = run_reported(action);
  if (input_left) *input_left = left;
  return console.printed();
}

}  // namespace

TEST(FailureReport, EachKindIsPrintedOnItsOwnLine) {
  const std::string prefix = "Error during opening/reading/writing of file: ";
  struct Case {
    const char* what;
    std::function<void()> action;
    std::string report;
  };
  const Case cases[] = {
      {"bad and fail", [] { throw StreamFailure(std::ios::badbit | std::ios::failbit); },
       prefix + "ios_base::badbit set\n"},
      {"fail and eof", [] { throw StreamFailure(std::ios::failbit | std::ios::eofbit); },
       prefix + "ios_base::failbit set\n"},
      {"eof alone", [] { throw StreamFailure(std::ios::eofbit); },
       prefix + "ios_base::eofbit set\n"},
      {"text", [] { fail("Error during the loading DLL"); }, "Error during the loading DLL\n"},
      {"memory", [] { throw std::bad_alloc(); }, "bad allocation\n"},
      {"other standard", [] { throw std::out_of_range("index out of range"); },
       "index out of range\n"},
      {"no failure", [] {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool input_left = false;
    EXPECT_EQ(report_of(c.action, &input_left), c.report);
    EXPECT_TRUE(input_left);
  }
}

TEST(FailureReport, EndOfInputIsNotReportedButEndsTheLoop) {
  bool input_left = true;
  EXPECT_EQ(report_of([] { throw EndOfInput{}; }, &input_left), "");
  EXPECT_FALSE(input_left);
}

TEST(FailureReport, FileStepsRaiseTheStateThatCausedThem) {
  testing_support::ScratchFolder scratch;
  EXPECT_EQ(report_of([&] { open_for_reading((scratch / "missing.bin").string()); }),
            "Error during opening/reading/writing of file: ios_base::failbit set\n");
  const std::string unmade = (scratch / "no/such/folder.bin").string();
  EXPECT_EQ(
      report_of([&] { TargetFile file(unmade, Durability::cached); }),
      "The folder of the file '" + unmade +
          "' does not exist.\nError during opening/reading/writing of file: ios_base::failbit "
          "set\n");

  testing_support::write_bytes(scratch / "short.bin", {1, 2, 3});
  std::string read_report = report_of([&] {
    std::ifstream stream = open_for_reading((scratch / "short.bin").string());
    char buffer[4];
    read_exact(stream, buffer, sizeof buffer);
  });
  EXPECT_EQ(read_report, "Error during opening/reading/writing of file: ios_base::failbit set\n");

  std::ifstream stream = open_for_reading((scratch / "short.bin").string());
  EXPECT_EQ(stream_size(stream), 3u);
  char buffer[3];
  EXPECT_NO_THROW(read_exact(stream, buffer, sizeof buffer));
  EXPECT_EQ(buffer[2], 3);
}

TEST(FailureReport, AWriteToAFullDeviceIsABadState) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no full device here";
  EXPECT_EQ(report_of([] {
              TargetFile full("/dev/full", Durability::flushed);
              const std::string data(1 << 16, 'x');
              write_all(full.stream(), data.data(), data.size());
            }),
            "Error during opening/reading/writing of file: ios_base::badbit set\n");
}
