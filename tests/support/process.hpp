// Starting another program with redirected standard streams. Used by the end-to-end
// tests to run the built program the way a technician's console would.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

struct ProcessOutcome {
  int exit_status = -1;  // the program's exit status, or -1 when it did not exit by itself
  bool timed_out = false;
  std::string failure;  // why the program could not be started or waited for, if it could not
};

struct ProcessRequest {
  std::string program;                 // path of the program file
  std::vector<std::string> arguments;  // after the program's name; without blanks or quotes
  std::string folder;                  // working folder of the new process
  std::string input_file;              // becomes its standard input
  std::string output_file;             // receives its standard output
  std::string error_file;              // receives its standard error
  std::vector<std::pair<std::string, std::string>> environment;  // added to ours
  std::chrono::milliseconds timeout{10000};
  // Called with the program's process id once it runs, before the wait for its end: a
  // test that signals or kills it in the middle.
  std::function<void(long process_id)> while_running;
};

// Runs the program to its end, or kills it once the time-out has passed.
ProcessOutcome run_process(const ProcessRequest& request);

// The environment entries ("NAME=value") of the new program: `inherited` with the request's
// variables set, a later setting of a name replacing an earlier one. Entries whose name
// starts with "=" (Windows keeps one per drive's current folder) are names of their own.
std::vector<std::string> environment_entries(const std::vector<std::string>& inherited,
                                             const ProcessRequest& request);

}  // namespace testing_support
