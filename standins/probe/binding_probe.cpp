// A small library for the binding tests. It appends "load" and "unload" to the file
// named by KORVANTA_PROBE_LOG when it is loaded and released, so a test can see that the
// program let go of it. The log is written in binary mode, so that it holds the same
// bytes on every platform.
#include <cstdio>
#include <cstdlib>

#include "platform/export.hpp"

namespace {

void note(const char* event) {
  const char* path = std::getenv("KORVANTA_PROBE_LOG");
  if (!path) return;
  if (std::FILE* log = std::fopen(path, "ab")) {
    std::fprintf(log, "%s\n", event);
    std::fclose(log);
  }
}

struct LifetimeNote {
  LifetimeNote() { note("load"); }
  ~LifetimeNote() { note("unload"); }
} lifetime_note;

}  // namespace

extern "C" STANDIN_EXPORT int probe_first() {
  return 1;
}
extern "C" STANDIN_EXPORT int probe_second() {
  return 2;
}
