#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/process.hpp"

namespace testing_support {
namespace {

struct HandleCloser {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~HandleCloser() {
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr) CloseHandle(handle);
  }
};

HANDLE open_inheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The environment block of the new program: its entries, each ended by a zero, then a zero.
std::string environment_block(const ProcessRequest& request) {
  std::vector<std::string> inherited;
  LPCH current = GetEnvironmentStringsA();
  for (const char* entry = current; *entry; entry += std::char_traits<char>::length(entry) + 1) {
    inherited.emplace_back(entry);
  }
  FreeEnvironmentStringsA(current);
  std::string block;
  for (const std::string& entry : environment_entries(inherited, request)) block += entry + '\0';
  return block + '\0';
}

ProcessOutcome failed(const std::string& step) {
  ProcessOutcome outcome;
  outcome.failure = step + " failed (error " + std::to_string(GetLastError()) + ")";
  return outcome;
}

}  // namespace

ProcessOutcome run_process(const ProcessRequest& request) {
  HandleCloser input{open_inheritable(request.input_file, GENERIC_READ, OPEN_EXISTING)};
  HandleCloser output{open_inheritable(request.output_file, GENERIC_WRITE, CREATE_ALWAYS)};
  HandleCloser error{open_inheritable(request.error_file, GENERIC_WRITE, CREATE_ALWAYS)};
  if (input.handle == INVALID_HANDLE_VALUE) return failed("opening " + request.input_file);
  if (output.handle == INVALID_HANDLE_VALUE) return failed("creating " + request.output_file);
  if (error.handle == INVALID_HANDLE_VALUE) return failed("creating " + request.error_file);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.handle;
  startup.hStdOutput = output.handle;
  startup.hStdError = error.handle;
  PROCESS_INFORMATION process{};
  std::string command = "\"" + request.program + "\"";
  for (const std::string& argument : request.arguments) command += " \"" + argument + "\"";
  std::string environment = environment_block(request);
  if (!CreateProcessA(request.program.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                      environment.data(), request.folder.c_str(), &startup, &process)) {
    return failed("CreateProcess of " + request.program);
  }
  HandleCloser thread{process.hThread};
  HandleCloser child{process.hProcess};
  ProcessOutcome outcome;
  if (request.while_running) request.while_running(static_cast<long>(process.dwProcessId));
  const auto wait = static_cast<DWORD>(request.timeout.count());
  if (WaitForSingleObject(process.hProcess, wait) == WAIT_TIMEOUT) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
    outcome.timed_out = true;
    return outcome;
  }
  DWORD status = 0;
  if (!GetExitCodeProcess(process.hProcess, &status)) return failed("GetExitCodeProcess");
  outcome.exit_status = static_cast<int>(status);
  return outcome;
}

}  // namespace testing_support
