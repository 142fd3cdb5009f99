// The transcript harness itself: every run is checked for sanitizer reports and for an
// unexpected exit status, so that no test can pass over a crash or a memory fault.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "tests/support/transcript.hpp"

using testing_support::sanitizer_report;
using testing_support::TranscriptTest;

TEST(SanitizerReport, FindsTheFirstLineOfEveryKindOfReport) {
  const struct {
    std::string errors;
    std::string first_line;
  } cases[] = {
      {"", ""},
      {"Error during the loading DLL\nplain text on standard error\n", ""},
      {"=================================================================\n"
       "==4711==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x602000000011\n"
       "READ of size 1 at 0x602000000011 thread T0\n",
       "==4711==ERROR: AddressSanitizer: heap-buffer-overflow on address 0x602000000011"},
      {"\n==12==ERROR: LeakSanitizer: detected memory leaks\n\nDirect leak of 24 byte(s)\n",
       "==12==ERROR: LeakSanitizer: detected memory leaks"},
      {"animation/bmp.cpp:41:17: runtime error: signed integer overflow: 2147483647 + 1",
       "animation/bmp.cpp:41:17: runtime error: signed integer overflow: 2147483647 + 1"},
      {"SUMMARY: UndefinedBehaviorSanitizer: undefined-behavior x.cpp:3:1 in\n",
       "SUMMARY: UndefinedBehaviorSanitizer: undefined-behavior x.cpp:3:1 in"},
  };
  for (const auto& [errors, first_line] : cases) {
    EXPECT_EQ(sanitizer_report(errors), first_line) << errors;
  }
}

class HarnessChecks : public TranscriptTest {};

TEST_F(HarnessChecks, AnUnexpectedExitStatusFailsTheTest) {
  expect_exit_status(3);
  EXPECT_NONFATAL_FAILURE(run("Q\n"), "the program ended with status 0, expected 3");
}

TEST(CheckRun, FailsOnAReportOrAnUnexpectedEnd) {
  using testing_support::check_run;
  using testing_support::Session;
  const Session clean{"menu", "", 0, false, ""};
  const Session killed{"menu", "", -1, true, ""};
  const Session reported{"menu", "==1==ERROR: AddressSanitizer: SEGV on unknown address", 0, false,
                         ""};
  const Session failed{"menu", "", 1, false, ""};
  const Session unstarted{"", "", -1, false, "fork failed: Resource temporarily unavailable"};
  EXPECT_NONFATAL_FAILURE(check_run(killed, 0), "status -1 (killed at its time-out), expected 0");
  EXPECT_NONFATAL_FAILURE(check_run(unstarted, 0),
                          "status -1 (fork failed: Resource temporarily unavailable), expected 0");
  EXPECT_NONFATAL_FAILURE(check_run(reported, 0), "sanitizer report: ==1==ERROR");
  EXPECT_NONFATAL_FAILURE(check_run(failed, 0), "status 1, expected 0");
  EXPECT_NONFATAL_FAILURE(check_run(clean, 3), "status 0, expected 3");
  // The runs that went as expected pass without a failure.
  check_run(clean, 0);
  check_run(failed, 1);
  check_run(killed, -1);
}
