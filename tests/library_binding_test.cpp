#include "shell/library_binding.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "shell/failure.hpp"
#include "tests/support/files.hpp"

namespace {

const std::string probe_path = std::string(KORVANTA_BIN_DIR) + "/probe/binding_probe.dll";

// Points the probe library's load log at a scratch file.
class BindingProbe : public ::testing::Test {
 protected:
  BindingProbe() { set_log((scratch_ / "probe.log").string()); }
  ~BindingProbe() override { set_log(""); }
  std::string log() const {
    return std::filesystem::exists(scratch_ / "probe.log")
               ? testing_support::read_text(scratch_ / "probe.log")
               : "";
  }

 private:
  static void set_log(const std::string& path) {
    testing_support::set_environment("KORVANTA_STANDIN_LOG", path);
  }
  testing_support::ScratchFolder scratch_;
};

}  // namespace

TEST_F(BindingProbe, ResolvesEntryPointsInOrderAndReleasesTheLibrary) {
  {
    Library library = bind_library(probe_path);
    int (*first)() = nullptr;
    int (*second)() = nullptr;
    resolve_entry_points(library, entry_point("probe_first", first),
                         entry_point("probe_second", second));
    EXPECT_EQ(first(), 1);
    EXPECT_EQ(second(), 2);
    EXPECT_EQ(log(), "load binding_probe.dll\n");
  }
  EXPECT_EQ(log(), "load binding_probe.dll\nunload binding_probe.dll\n");
}

TEST_F(BindingProbe, AMissingEntryPointIsNamedAndTheLibraryReleased) {
  Library library = bind_library(probe_path);
  int (*first)() = nullptr;
  int (*missing)() = nullptr;
  int (*second)() = nullptr;
  try {
    resolve_entry_points(library, entry_point("probe_first", first),
                         entry_point("_IFWD_DL_boot_target", missing),
                         entry_point("probe_second", second));
    FAIL() << "binding went on past a missing entry point";
  } catch (const TextFailure& failure) {
    EXPECT_STREQ(failure.what(), "Procedure not found:_IFWD_DL_boot_target");
  }
  EXPECT_EQ(library.get(), nullptr);
  EXPECT_EQ(second, nullptr) << "entry points after the missing one are not looked up";
  EXPECT_EQ(log(), "load binding_probe.dll\nunload binding_probe.dll\n");
}

TEST_F(BindingProbe, ALibraryThatDoesNotLoadIsReported) {
  for (const std::string name : {"IFWD_DownloadDll_missing.dll", "", "/no/such/folder/x.dll"}) {
    try {
      bind_library(name);
      FAIL() << name << " loaded";
    } catch (const TextFailure& failure) {
      EXPECT_STREQ(failure.what(), "Error during the loading DLL");
    }
  }
  EXPECT_EQ(log(), "");
}
