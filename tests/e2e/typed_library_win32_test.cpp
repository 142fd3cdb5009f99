// H loads the library at the path typed, and finds the libraries it imports in that
// library's own folder, as a vendor may ship them beside it: on Windows the loader looks
// beside the program, not beside the library. Windows build only.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/transcript.hpp"

using testing_support::transcript;
namespace fs = std::filesystem;

class TypedLibrary : public testing_support::TranscriptTest {};

TEST_F(TypedLibrary, FindsTheHelperLibraryBesideTheLibraryTyped) {
  const fs::path vendor = work("vendor libs");
  fs::create_directories(vendor);
  for (const char* file : {"Inf_WebDnld.dll", "webdnld_helper.dll"}) {
    fs::copy_file(testing_support::built_folder() / "variants" / "with_helper" / file,
                  vendor / file);
  }
  const std::string printed =
      "Location of DLL (Ex C:\\Inf_WebDnld.dll): File WDB (Ex C:\\V10G.wdb): Version(SW "
      "version) (Ex V10G_04): Loading...\n\n";
  for (const std::string& typed :
       {(vendor / "Inf_WebDnld.dll").string(), std::string("vendor libs\\Inf_WebDnld.dll")}) {
    SCOPED_TRACE(typed);
    const auto session = run("H\n" + typed + "\nfw.wdb\nV1\nQ\n",
                             {{"KORVANTA_STANDIN_LOG", work("calls.log").string()}});
    EXPECT_EQ(session.output, transcript({printed}));
    EXPECT_TRUE(
        testing_support::read_text(work("calls.log")).starts_with("load Inf_WebDnld.dll\n"));
    fs::remove(work("calls.log"));
  }
}
