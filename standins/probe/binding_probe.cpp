// A small library for the binding tests. It appends "load binding_probe.dll" and "unload
// binding_probe.dll" to the file named by KORVANTA_STANDIN_LOG when it is loaded and
// released, so a test can see that the program let go of it. The log is written in binary
// mode, so that it holds the same bytes on every platform.
#include <cstdio>
#include <cstdlib>

#include "standins/common/export.hpp"
#include "standins/common/fault_setting.hpp"

namespace {

void note(const char* event) {
  const char* path = std::getenv(standin::log_variable);
  if (!path) return;
  if (std::FILE* log = std::fopen(path, "ab")) {
    std::fprintf(log, "%s\n", event);
    std::fclose(log);
  }
}

struct LifetimeNote {
  LifetimeNote() { note("load binding_probe.dll"); }
  ~LifetimeNote() { note("unload binding_probe.dll"); }
} lifetime_note;

}  // namespace

extern "C" STANDIN_EXPORT int probe_first() {
  return 1;
}
extern "C" STANDIN_EXPORT int probe_second() {
  return 2;
}
