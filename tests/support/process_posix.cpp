#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.hpp"

namespace testing_support {
namespace {

[[noreturn]] void become_program(const ProcessRequest& request, char* const arguments[],
                                 char* const environment[]) {
  // Only async-signal-safe work from here on: the child of a forked process.
  const int input = open(request.input_file.c_str(), O_RDONLY);
  const int output = open(request.output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int error = open(request.error_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (input < 0 || output < 0 || error < 0 || chdir(request.folder.c_str()) != 0) _exit(127);
  dup2(input, STDIN_FILENO);
  dup2(output, STDOUT_FILENO);
  dup2(error, STDERR_FILENO);
  execve(request.program.c_str(), arguments, environment);
  _exit(127);
}

}  // namespace

ProcessOutcome run_process(const ProcessRequest& request) {
  std::vector<std::string> inherited;
  for (char** entry = environ; *entry; ++entry) inherited.emplace_back(*entry);
  std::vector<std::string> entries = environment_entries(inherited, request);
  std::vector<char*> environment;
  for (std::string& entry : entries) environment.push_back(entry.data());
  environment.push_back(nullptr);
  std::vector<char*> arguments{const_cast<char*>(request.program.c_str())};
  for (const std::string& argument : request.arguments) {
    arguments.push_back(const_cast<char*>(argument.c_str()));
  }
  arguments.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) {
    ProcessOutcome outcome;
    outcome.failure = std::string("fork failed: ") + std::strerror(errno);
    return outcome;
  }
  if (child == 0) become_program(request, arguments.data(), environment.data());
  if (request.while_running) request.while_running(child);

  const auto deadline = std::chrono::steady_clock::now() + request.timeout;
  ProcessOutcome outcome;
  int status = 0;
  pid_t waited = 0;
  while ((waited = waitpid(child, &status, WNOHANG)) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      outcome.timed_out = true;
      return outcome;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  // A failed wait tells nothing of the program: its exit status stays unknown (-1).
  if (waited != child) outcome.failure = std::string("waitpid failed: ") + std::strerror(errno);
  if (waited == child && WIFEXITED(status)) outcome.exit_status = WEXITSTATUS(status);
  return outcome;
}

}  // namespace testing_support
