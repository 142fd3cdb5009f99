// A helper library that a variant of the web-download library's stand-in imports, as a
// vendor's library may import one shipped beside it.
extern "C" __declspec(dllexport) int webdnld_helper_answer() {
  return 42;
}
