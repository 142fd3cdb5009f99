// Where the loader finds a vendor's library on Windows, both ways it can keep the current
// folder out: with the system's search flags, and by full paths as on a Windows 7 without
// them (which wine, accepting the flags, would never show otherwise). Windows build only.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/library.hpp"
#include "tests/support/files.hpp"

namespace fs = std::filesystem;
using platform::LoaderSearch;

namespace {

const fs::path probe = fs::path(KORVANTA_BIN_DIR) / "probe" / "binding_probe.dll";
const fs::path program_folder = KORVANTA_BIN_DIR;

// The folder a loaded module came from.
fs::path folder_of(platform::LibraryHandle module) {
  char file[MAX_PATH];
  const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), file, MAX_PATH);
  return fs::path(std::string(file, length)).parent_path();
}

std::string environment(const char* name) {
  const DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
  std::string value(size, '\0');
  value.resize(GetEnvironmentVariableA(name, value.data(), size));
  return value;
}

// The current folder and PATH for one case, put back afterwards.
class SearchSetting {
 public:
  SearchSetting(const fs::path& current, const std::string& path_prefix)
      : current_(fs::current_path()), path_(environment("PATH")) {
    fs::current_path(current);
    SetEnvironmentVariableA("PATH", (path_prefix + path_).c_str());
  }
  ~SearchSetting() {
    fs::current_path(current_);
    SetEnvironmentVariableA("PATH", path_.c_str());
  }

 private:
  fs::path current_;
  std::string path_;
};

}  // namespace

TEST(LibraryLoading, NeverFromTheCurrentFolderWhicheverWayTheLoaderSearches) {
  const testing_support::ScratchFolder scratch;
  const fs::path current = scratch / "current";
  const fs::path quoted = scratch / "a folder of PATH";
  fs::create_directories(current);
  fs::create_directories(quoted);
  enum class From { program_folder, path_folder, nowhere };
  struct Case {
    const char* what;
    bool in_program_folder;
    bool in_current_folder;
    bool in_quoted_path_folder;
    std::string path_prefix;  // put before PATH; {quoted} stands for the quoted folder
    From expected;
  };
  const std::string in_quotes = "\"" + quoted.string() + "\";";
  const Case cases[] = {
      {"the program's folder over a copy planted in the current folder", true, true, false, ".;",
       From::program_folder},
      {"a copy in the current folder only, with . in PATH", false, true, false, ".;",
       From::nowhere},
      {"a copy in the current folder only, with a relative PATH folder", false, true, false,
       "..\\current;", From::nowhere},
      {"a folder of PATH in quotes", false, true, true, ".;" + in_quotes, From::path_folder},
      {"a copy in the program's folder only", true, false, false, "", From::program_folder},
  };
  int number = 0;
  for (const LoaderSearch search : {LoaderSearch::full_paths, LoaderSearch::search_flags}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) +
                   (search == LoaderSearch::full_paths ? ", by full paths" : ", search flags"));
      // A name of its own for each case: the loader hands out a module already loaded
      // under the same name.
      const std::string name = "loader_probe_" + std::to_string(++number) + ".dll";
      if (c.in_program_folder) fs::copy_file(probe, program_folder / name);
      if (c.in_current_folder) fs::copy_file(probe, current / name);
      if (c.in_quoted_path_folder) fs::copy_file(probe, quoted / name);
      platform::LibraryHandle module = nullptr;
      {
        const SearchSetting setting(current, c.path_prefix);
        module = platform::load_library(name.c_str(), search);
      }
      switch (c.expected) {
        case From::program_folder:
          ASSERT_NE(module, nullptr);
          EXPECT_TRUE(fs::equivalent(folder_of(module), program_folder));
          break;
        case From::path_folder:
          ASSERT_NE(module, nullptr);
          EXPECT_TRUE(fs::equivalent(folder_of(module), quoted));
          break;
        case From::nowhere:
          EXPECT_EQ(module, nullptr) << "loaded from " << folder_of(module);
          break;
      }
      platform::free_library(module);
      std::error_code ignored;
      fs::remove(program_folder / name, ignored);
    }
  }
}
