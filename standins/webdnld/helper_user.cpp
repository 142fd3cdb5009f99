// Makes the web-download library's stand-in import its helper library (helper.cpp): the
// loader must then find webdnld_helper.dll before the library can load.
extern "C" __declspec(dllimport) int webdnld_helper_answer();

extern "C" __declspec(dllexport) int webdnld_uses_helper() {
  return webdnld_helper_answer();
}
