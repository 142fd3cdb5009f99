// File names as the technician types them: the device-name rule, the path the C runtime's
// file opens, and file identity.
#include "platform/file_system.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/device_names.hpp"
#include "platform/reparse_tags.hpp"
#include "shell/files.hpp"
#include "tests/support/files.hpp"

using testing_support::ScratchFolder;
namespace fs = std::filesystem;

TEST(DeviceNames, AreTheLastPartWithoutItsExtensionInAnyCase) {
  struct Case {
    const char* name;
    bool device;
  };
  const Case cases[] = {
      {"CON", true},
      {"prn", true},
      {"Aux.bin", true},
      {"nul.tar.gz", true},
      {"COM1", true},
      {"com9.bmp", true},
      {"lpt1.bmp", true},
      {"LPT9", true},
      {"com\xB9", true},      // ¹ in code page 1252
      {"LPT\xB3.txt", true},  // ³
      {"aux.", true},
      {"aux...", true},
      {"aux  ", true},
      {"aux . bin", true},
      {"nul:", true},
      {"C:nul", true},
      {"C:\\work\\Com1 .txt", true},
      {"sub/aux.bin", true},
      {"..\\dir.x\\con", true},
      {"CONIN$", true},
      {"conout$", true},
      {"", false},
      {"COM0", false},
      {"com10", false},
      {"LPT", false},
      {"com\xB4", false},
      {"auxiliary.bin", false},
      {"xaux", false},
      {" con", false},
      {"dir.con", false},
      {"con\\file.bin", false},
      {"aux.bin\\", false},
      {"conin$.txt", false},
      {"C:\\", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::is_windows_device_name(c.name), c.device) << "\"" << c.name << "\"";
  }
}

TEST(TypedNames, NameTheFileThatTheCRuntimeOpens) {
  const ScratchFolder folder;
  // ASCII; é, which Latin-1 and the ANSI code page 1252 hold alike; œ, € and ’, which only
  // the ANSI code page holds (bytes 9C, 80, 92).
  for (const std::string leaf : {"plain.bin", "caf\xE9.bin", "c\x9Cur.bin", "\x80\x92.bin"}) {
    SCOPED_TRACE(leaf);
    const std::string typed = folder.path().string() + "/" + leaf;
    std::FILE* file = std::fopen(typed.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("four", file);
    std::fclose(file);
    std::error_code unknown;
    EXPECT_TRUE(fs::is_regular_file(platform::typed_path(typed), unknown));
    EXPECT_EQ(fs::file_size(platform::typed_path(typed), unknown), 4u);
    EXPECT_TRUE(platform::file_identity(typed).has_value());
    EXPECT_TRUE(same_file(typed, folder.path().string() + "/./" + leaf));
  }
}

TEST(FileIdentity, IsTheFilesWhateverNameReachesIt) {
  const ScratchFolder folder;
  const auto at = [&](const std::string& name) { return folder.path().string() + "/" + name; };
  testing_support::write_text(folder / "a.bin", "a");
  testing_support::write_text(folder / "b.bin", "a");
  fs::create_directory(folder / "sub");
  fs::create_hard_link(folder / "a.bin", folder / "linked.bin");
  struct Case {
    std::string first;
    std::string second;
    bool same;
  };
  const Case cases[] = {
      {at("a.bin"), at("a.bin"), true},
      {at("a.bin"), at("sub/../a.bin"), true},
      {at("a.bin"), at("linked.bin"), true},
      {at("sub"), at("sub/."), true},
      {at("a.bin"), at("b.bin"), false},
      {at("a.bin"), at("sub"), false},
      {at("a.bin"), at("missing.bin"), false},
      {at("missing.bin"), at("missing.bin"), false},
      {"", "", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(same_file(c.first, c.second), c.same) << c.first << " and " << c.second;
  }
}

// Fed with the tags themselves: wine makes no placeholders and no WSL files.
TEST(ReparseTags, APlaceholderIsReplacedAndALinkOrASpecialFileIsWrittenThrough) {
  const std::pair<std::uint32_t, bool> cases[] = {
      {0x9000001A, true},  {0x9000F01A, true},  // cloud files placeholders (OneDrive, others)
      {0x80000021, true},  {0x80000013, true},  // OneDrive's own, deduplicated
      {0xA000000C, false}, {0xA0000003, false}, {0xA000001D, false},  // links, junction, WSL
      {0x80000023, false}, {0x80000024, false},                       // WSL's socket and pipe
  };
  for (const auto& [tag, replaceable] : cases) {
    EXPECT_EQ(platform::replaceable_reparse_tag(tag), replaceable) << std::hex << tag;
  }
}
