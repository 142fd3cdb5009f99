#include "tests/support/transcript.hpp"

#include <algorithm>
#include <cstdlib>

#include "tests/support/process.hpp"

namespace testing_support {

namespace fs = std::filesystem;

fs::path built_program() {
  return KORVANTA_PROGRAM;
}
fs::path built_folder() {
  return KORVANTA_BIN_DIR;
}

TranscriptTest::TranscriptTest() {
  fs::create_directory(scratch_ / "bin");
  fs::create_directory(scratch_ / "work");
  fs::create_directory(scratch_ / "io");
  fs::copy_file(built_program(), program_folder() / built_program().filename());
}

void TranscriptTest::install_library(const std::string& relative_path) {
  const fs::path source = built_folder() / relative_path;
  fs::copy_file(source, program_folder() / source.filename(), fs::copy_options::overwrite_existing);
}

void TranscriptTest::install_every_standin() {
  for (const auto& entry : fs::directory_iterator(built_folder())) {
    if (entry.is_regular_file() && entry.path().extension() == ".dll") {
      install_library(entry.path().filename().string());
    }
  }
}

std::chrono::milliseconds scaled_time(std::chrono::milliseconds bound) {
  const char* scale = std::getenv("KORVANTA_TEST_TIME_SCALE");
  const long factor = scale ? std::strtol(scale, nullptr, 10) : 1;
  return bound * std::max(factor, 1L);
}

fs::path TranscriptTest::work(const std::string& name) const {
  return name.empty() ? scratch_ / "work" : scratch_ / "work" / name;
}

std::string TranscriptTest::output_so_far() const {
  return read_text(scratch_ / "io" / "output.txt");
}

Session TranscriptTest::run(const std::string& input, const Environment& environment,
                            std::chrono::milliseconds timeout) {
  return run_in("io", input, environment, timeout, while_running_);
}

Session TranscriptTest::run_beside(const std::string& input, const Environment& environment) {
  fs::create_directories(scratch_ / "io-beside");
  return run_in("io-beside", input, environment, std::chrono::seconds(20), {});
}

Session TranscriptTest::run_in(const std::string& io_folder, const std::string& input,
                               const Environment& environment, std::chrono::milliseconds timeout,
                               const std::function<void(long)>& step) {
  const fs::path io = scratch_ / io_folder;
  write_text(io / "input.txt", input);
  // A run killed before it opened its output files still leaves files to read.
  write_text(io / "output.txt", "");
  write_text(io / "errors.txt", "");
  testing_support::ProcessRequest request;
  request.program = (program_folder() / built_program().filename()).string();
  request.folder = work().string();
  request.input_file = (io / "input.txt").string();
  request.output_file = (output_.empty() ? io / "output.txt" : output_).string();
  request.error_file = (io / "errors.txt").string();
  for (const auto& [name, value] : environment) {
    if (name == "KORVANTA_STANDIN_FAULTS" && !value.empty()) {
      request.environment.emplace_back(
          "LSAN_OPTIONS", "print_suppressions=0:suppressions=" KORVANTA_LEAK_SUPPRESSIONS);
      // Read by Valgrind when scripts/memcheck runs the program under it; unused otherwise.
      request.environment.emplace_back("VALGRIND_OPTS",
                                       "--suppressions=" KORVANTA_MEMCHECK_FAULT_LEAKS);
    }
  }
  request.environment.insert(request.environment.end(), environment.begin(), environment.end());
  request.timeout = scaled_time(timeout);
  request.while_running = step;
  const testing_support::ProcessOutcome outcome = testing_support::run_process(request);

  Session session;
  session.exit_status = outcome.exit_status;
  session.timed_out = outcome.timed_out;
  session.start_failure = outcome.failure;
  for (const char c : read_text(io / "output.txt")) {
    if (c == '\n' && !session.output.empty() && session.output.back() == '\r') {
      session.output.back() = '\n';
    } else {
      session.output += c;
    }
  }
  session.errors = read_text(io / "errors.txt");

  check_run(session, expected_exit_status_);
  return session;
}

void check_run(const Session& session, int expected_exit_status) {
  const std::string report = sanitizer_report(session.errors);
  if (!report.empty()) ADD_FAILURE() << "sanitizer report: " << report << "\n" << session.errors;
  if (session.exit_status != expected_exit_status) {
    ADD_FAILURE() << "the program ended with status " << session.exit_status
                  << (session.timed_out ? " (killed at its time-out)" : "")
                  << (session.start_failure.empty() ? "" : " (" + session.start_failure + ")")
                  << ", expected " << expected_exit_status << "\nstandard error:\n"
                  << session.errors;
  }
}

std::string sanitizer_report(const std::string& errors) {
  for (const char* marker :
       {"AddressSanitizer", "LeakSanitizer", "UndefinedBehaviorSanitizer", "runtime error:"}) {
    const std::size_t at = errors.find(marker);
    if (at == std::string::npos) continue;
    const std::size_t start = errors.rfind('\n', at);
    const std::size_t begin = start == std::string::npos ? 0 : start + 1;
    return errors.substr(begin, errors.find('\n', at) - begin);
  }
  return {};
}

const std::string banner =
    "|--------------------------------------|\n"
    "|          ! Korvanta V0.4.2 !         |\n"
    "|                 KS360                |\n"
    "|  Flash, firmware and boot animation  |\n"
    "|     tools for the technician's PC    |\n"
    "|    written by the Korvanta team      |\n"
    "|--------------------------------------|\n"
    "\n";

const std::string menu =
    "Menu\n"
    "--------------------------------\n"
    "A - Send ROOT partition on mobile phone\n"
    "B - BACKUP ROOT partition on mobile phone\n"
    "C - Send CUST partition on mobile phone\n"
    "D - Backup CUST partition on mobile phone\n"
    "E - Send USER partition on mobile phone\n"
    "F - Backup USER partition on mobile phone\n"
    "G - Extract CUST partition from .DFAT\n"
    "H - Extract files from a WDB file\n"
    "I - Extract files from a KDZ file\n"
    "J - Flash with assistant (file .cab)\n"
    "K - Extract an animation\n"
    "L - Create an animation\n"
    "M - Extended /!\\\n"
    "N - Send STATIC_EEP partition on mobile phone\n"
    "O - Backup STATIC_EEP partition on mobile phone\n"
    "Q - Exit\n";

std::string transcript(const std::vector<std::string>& action_outputs) {
  std::string text = banner;
  for (const std::string& output : action_outputs) text += menu + "Choice: " + output + "\n";
  return text + menu + "Choice: \n";
}

}  // namespace testing_support
