#include "standins/common/test_controls.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace standin {
namespace {

std::string fault_mode(const std::string& routine) {
  const char* setting = std::getenv("KORVANTA_STANDIN_FAULTS");
  if (!setting) return {};
  const std::string faults = setting;
  const std::string key = routine + "=";
  std::size_t start = 0;
  while (start <= faults.size()) {
    std::size_t end = faults.find(',', start);
    if (end == std::string::npos) end = faults.size();
    const std::string item = faults.substr(start, end - start);
    if (item.compare(0, key.size(), key) == 0) return item.substr(key.size());
    start = end + 1;
  }
  return {};
}

// Read through a volatile object so that the compiler cannot see the null and replace
// the access by a trap instruction: the fault must be a real invalid memory access.
volatile std::uintptr_t nowhere = 0;

// The undefined-behaviour sanitizer would report the store and stop the program before the
// fault that the caller's guard is there to contain. It stays a function of its own, which
// Valgrind's suppressions name.
__attribute__((no_sanitize("undefined"), noinline)) void write_to_null() {
  *reinterpret_cast<volatile int*>(nowhere) = 1;
}

}  // namespace

void log_line(const std::string& line) {
  const char* path = std::getenv("KORVANTA_STANDIN_LOG");
  if (!path || !*path) return;
  // Binary mode: the log holds the same bytes on every platform.
  if (std::FILE* log = std::fopen(path, "ab")) {
    std::fprintf(log, "%s\n", line.c_str());
    std::fclose(log);
  }
}

std::string quoted(const std::string& text) {
  return '"' + text + '"';
}

bool act_out_fault(const std::string& routine) {
  const std::string mode = fault_mode(routine);
  if (mode == "null") {
    write_to_null();
  } else if (mode == "throw") {
    throw std::runtime_error(routine + " gave up with an exception");
  }
  return mode == "fail";
}

LifetimeLog::LifetimeLog(const char* file) : file_(file) {
  log_line(std::string("load ") + file_);
}

LifetimeLog::~LifetimeLog() {
  log_line(std::string("unload ") + file_);
}

}  // namespace standin
