// End-to-end runs of the built program: a copy of it in a scratch folder, with the
// libraries a case needs beside it, fed a script on standard input.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/files.hpp"

namespace testing_support {

// The built program's file and the folder where the build puts it and the stand-ins.
std::filesystem::path built_program();
std::filesystem::path built_folder();

struct Session {
  std::string output;  // standard output, with the CR of a CR LF line end dropped
  std::string errors;  // standard error
  int exit_status = -1;
  bool timed_out = false;
  std::string start_failure;  // why the program could not be started or waited for
};

using Environment = std::vector<std::pair<std::string, std::string>>;

class TranscriptTest : public ::testing::Test {
 protected:
  TranscriptTest();

  // Puts a library built by the project (a path below the build's bin folder) beside the
  // program copy, under its own file name.
  void install_library(const std::string& relative_path);

  // Puts every library of the build's bin folder beside the program copy: the stand-ins
  // of all the vendor libraries.
  void install_every_standin();

  // Runs the program copy in the work folder with `input` as its standard input. Every
  // run is checked here, for every test: the test fails when the program left a
  // sanitizer report on standard error, or ended with another status than the one
  // expected (0 unless the test said otherwise; a run killed at its time-out has -1).
  Session run(const std::string& input, const Environment& environment = {},
              std::chrono::milliseconds timeout = std::chrono::seconds(20));

  // Runs a second copy of the program in the same work folder, with input and output of its
  // own: from a step of while_running, a second console's run beside the first one. Checked
  // as run() checks its runs; takes no step of its own.
  Session run_beside(const std::string& input, const Environment& environment = {});

  // A step that the following runs take while the program runs, given its process id: a
  // test that signals or kills the program in the middle. The run still waits for its end.
  void while_running(std::function<void(long process_id)> step) {
    while_running_ = std::move(step);
  }
  // What the program has printed so far in the run going on.
  std::string output_so_far() const;

  // The exit status that the following runs are expected to end with.
  void expect_exit_status(int status) { expected_exit_status_ = status; }

  // Where the following runs write their standard output instead of the file that
  // Session::output is read from, which stays empty then: a pipe or a device. An empty
  // path puts the file back.
  void send_output_to(std::filesystem::path output) { output_ = std::move(output); }

  // The folder the program runs in; relative paths typed at it start here.
  std::filesystem::path work(const std::string& name = "") const;
  std::filesystem::path program_folder() const { return scratch_ / "bin"; }

 private:
  Session run_in(const std::string& io_folder, const std::string& input,
                 const Environment& environment, std::chrono::milliseconds timeout,
                 const std::function<void(long)>& step);

  ScratchFolder scratch_;
  int expected_exit_status_ = 0;
  std::function<void(long)> while_running_;
  std::filesystem::path output_;
};

// `bound` stretched by the factor in KORVANTA_TEST_TIME_SCALE (default 1), for runs under
// a slower checker such as Valgrind. Every run's time-out goes through it.
std::chrono::milliseconds scaled_time(std::chrono::milliseconds bound);

// A sanitized program carries its sanitizers' options (cmake/sanitizers.cmake). In runs
// with faults injected, TranscriptTest::run adds suppressions for what a contained fault
// leaves behind, for LeakSanitizer (tests/support/leak_suppressions.txt) and for Valgrind
// (tests/support/memcheck_fault_leaks.supp).

// Fails the running test when the session holds a sanitizer report or ended with another
// status than `expected_exit_status`. TranscriptTest::run applies it to every run.
void check_run(const Session& session, int expected_exit_status);

// The first line of a sanitizer report found in `errors`, or an empty text.
std::string sanitizer_report(const std::string& errors);

// The start-up banner, with its empty line.
extern const std::string banner;
// The menu, "Menu" to "Q - Exit", each line ended.
extern const std::string menu;

// The whole expected output of a run: the banner, then one menu pass per action output
// (menu, "Choice: ", what the action printed, the pass's empty line), then the last pass
// that ends the run ("Q" or the end of input).
std::string transcript(const std::vector<std::string>& action_outputs);

}  // namespace testing_support
