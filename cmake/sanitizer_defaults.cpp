// The sanitizers' run-time options of a sanitized build (cmake/sanitizers.cmake). The
// sanitizers' run-time asks for them when the program starts; the environment
// (ASAN_OPTIONS, UBSAN_OPTIONS, LSAN_OPTIONS) still adds to them.
extern "C" const char* __asan_default_options() {
  return KORVANTA_ASAN_DEFAULTS;
}

extern "C" const char* __ubsan_default_options() {
  return KORVANTA_UBSAN_DEFAULTS;
}
