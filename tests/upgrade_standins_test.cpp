// The stand-ins of the phone maker's libraries, reached the way the program reaches
// them: through an export and a fixed distance from it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/stack_balanced_call.hpp"
#include "shell/library_binding.hpp"
#include "tests/support/files.hpp"
#include "tests/support/kdz.hpp"
#include "vendor_abi/cstring.hpp"
#include "vendor_abi/upgrade_libraries.hpp"

using platform::call_restoring_stack;
using testing_support::Bytes;
using testing_support::kdz_file;
using testing_support::kdz_layouts;
using testing_support::KdzLayout;
using testing_support::PackedFile;
using testing_support::pattern;
using testing_support::put_le;
using testing_support::read_bytes;
using testing_support::read_text;
using testing_support::set_environment;
using testing_support::write_bytes;
using vendor_abi::CString;

namespace fs = std::filesystem;

namespace {

const std::string bin = KORVANTA_BIN_DIR;

// Overwrites `width` bytes at `at` with `value`, little-endian.
void patch_le(Bytes& bytes, std::size_t at, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

class UpgradeStandins : public ::testing::Test {
 protected:
  UpgradeStandins() { set_environment("KORVANTA_STANDIN_LOG", (scratch_ / "calls.log").string()); }
  ~UpgradeStandins() override {
    set_environment("KORVANTA_STANDIN_LOG", "");
    set_environment("KORVANTA_STANDIN_FAULTS", "");
  }

  std::string log() const {
    return fs::exists(scratch_ / "calls.log") ? read_text(scratch_ / "calls.log") : "";
  }

  // Runs the KDZ extraction entry of the upgrade library on `kdz` and gives its result.
  static std::string extract(const fs::path& kdz) {
    Library library = bind_library(bin + "/LGMUpgradeDL.dll");
    auto* start = static_cast<char*>(require_entry_point(library, "dll_StartUpgrade"));
    const auto entry = reinterpret_cast<vendor_abi::KdzExtractionEntry>(start + 29408);
    CString result;
    const CString path = kdz.string().c_str();
    call_restoring_stack(entry, &result, path.argument());
    EXPECT_EQ(path.header().references, 1) << "the entry released its argument";
    return result.c_str();
  }

  testing_support::ScratchFolder scratch_;
};

}  // namespace

TEST_F(UpgradeStandins, TheKdzEntryUnpacksBothPublicLayouts) {
  const std::vector<PackedFile> files = {
      {"boot.img", pattern(5000, 1)}, {"empty.bin", {}}, {"system.dz", pattern(70000, 9)}};
  for (const KdzLayout& layout : kdz_layouts) {
    SCOPED_TRACE(layout.name);
    const fs::path kdz = scratch_ / (std::string("fw_") + std::to_string(layout.width) + ".kdz");
    write_bytes(kdz, kdz_file(layout, files));
    const fs::path folder = scratch_ / ("fw_" + std::to_string(layout.width) + "_extracted");

    EXPECT_EQ(extract(kdz), "Wrote 3 files into " + folder.string() +
                                ": boot.img (5000 bytes), empty.bin (0 bytes), system.dz (70000 "
                                "bytes)");
    for (const PackedFile& file : files) {
      EXPECT_EQ(read_bytes(folder / file.name), file.contents) << file.name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
  }
}

TEST_F(UpgradeStandins, AKdzOfOneFileSaysSo) {
  write_bytes(scratch_ / "one.kdz", kdz_file(kdz_layouts[1], {{"only.bin", pattern(4, 2)}}));
  EXPECT_EQ(extract(scratch_ / "one.kdz"),
            "Wrote 1 file into " + (scratch_ / "one_extracted").string() + ": only.bin (4 bytes)");
  EXPECT_EQ(read_bytes(scratch_ / "one_extracted" / "only.bin"), pattern(4, 2));
}

TEST_F(UpgradeStandins, ABrokenKdzGivesAResultTextAndWritesNothing) {
  const KdzLayout& small = kdz_layouts[0];
  const KdzLayout& large = kdz_layouts[1];
  const Bytes good_small = kdz_file(small, {{"a.bin", pattern(100, 3)}, {"b.bin", pattern(50, 4)}});
  const Bytes good_large = kdz_file(large, {{"a.bin", pattern(100, 3)}, {"b.bin", pattern(50, 4)}});
  // The second record's fields: name at 8 + 264, size and offset after it.
  const std::size_t small_size_at = 8 + 264 + 256, small_offset_at = small_size_at + 4;
  const std::size_t large_size_at = 8 + 272 + 256, large_offset_at = large_size_at + 8;
  const std::string file_size = std::to_string(good_small.size());

  struct Case {
    const char* name;
    std::function<Bytes()> contents;
    std::string result;
  };
  const std::vector<Case> cases = {
      {"four bytes",
       [] {
         return Bytes{0x18, 0x05, 0, 0};
       },
       "The KDZ file is too short for a header: 4 bytes"},
      {"unknown header",
       [] { return Bytes{0x01, 0x02, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD, 0, 0, 0}; },
       "Unknown KDZ header: 01 02 03 04 AA BB CC DD (header size 67305985, magic 0xDDCCBBAA)"},
      {"right size, other layout's magic",
       [&] {
         Bytes bytes = good_small;
         patch_le(bytes, 4, large.magic, 4);
         return bytes;
       },
       "Unknown KDZ header: 18 05 00 00 34 31 25 80 (header size 1304, magic 0x80253134)"},
      {"truncated header", [&] { return Bytes(good_large.begin(), good_large.begin() + 1000); },
       "The KDZ file is truncated: its header needs 1320 bytes, the file has 1000"},
      {"offset past the end",
       [&] {
         Bytes bytes = good_small;
         patch_le(bytes, small_offset_at, 0xFFFFFFF0u, 4);
         return bytes;
       },
       "Record 2 (\"b.bin\") lies outside the file: offset 4294967280, size 50, file size " +
           file_size},
      {"size past the end",
       [&] {
         Bytes bytes = good_small;
         patch_le(bytes, small_size_at, 51, 4);
         return bytes;
       },
       "Record 2 (\"b.bin\") lies outside the file: offset 1404, size 51, file size " + file_size},
      {"offset and size wrapping around",
       [&] {
         Bytes bytes = good_large;
         patch_le(bytes, large_size_at, 0xFFFFFFFFFFFFFFFFull, 8);
         patch_le(bytes, large_offset_at, 2, 8);
         return bytes;
       },
       "Record 2 (\"b.bin\") lies outside the file: offset 2, size 18446744073709551615, file "
       "size " +
           std::to_string(good_large.size())},
      {"cut off data", [&] { return Bytes(good_small.begin(), good_small.end() - 1); },
       "Record 2 (\"b.bin\") lies outside the file: offset 1404, size 50, file size " +
           std::to_string(good_small.size() - 1)},
      {"name climbing out of the folder",
       [&] {
         return kdz_file(small, {{"../escaped", pattern(4, 1)}});
       },
       "Record 1 (\"../escaped\") is not a plain file name"},
      {"name with a drive",
       [&] {
         return kdz_file(large, {{"C:x", pattern(4, 1)}});
       },
       "Record 1 (\"C:x\") is not a plain file name"},
      {"name repeated",
       [&] {
         return kdz_file(small, {{"a", pattern(4, 1)}, {"a", pattern(4, 2)}});
       },
       "Record 2 (\"a\") repeats an earlier name"},
      {"no records", [&] { return kdz_file(large, {}); }, "The KDZ file holds no files"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const fs::path kdz = scratch_ / "broken.kdz";
    write_bytes(kdz, test.contents());
    EXPECT_EQ(extract(kdz), test.result);
    EXPECT_FALSE(fs::exists(scratch_ / "broken_extracted"));
    EXPECT_FALSE(fs::exists(scratch_ / "escaped"));
  }
  EXPECT_EQ(extract(scratch_ / "missing.kdz"),
            "Cannot open the KDZ file " + (scratch_ / "missing.kdz").string());
}

TEST_F(UpgradeStandins, TheUnpackRoutinesLieBelowStartUpgradeAndGetCopies) {
  write_bytes(scratch_ / "fw.wdb", pattern(1234, 0));
  const std::string wdb = (scratch_ / "fw.wdb").string();
  const CString result;
  {
    Library library = bind_library(bin + "/Inf_WebDnld.dll");
    auto* start = static_cast<char*>(require_entry_point(library, "_StartUpgrade"));
    using Unpack = vendor_abi::UnpackRoutine;
    const CString library_path = "lib path", wdb_path = wdb.c_str(), version = "V10G", kind = "BIN",
                  empty;
    const long result_references = result.header().references;
    call_restoring_stack(reinterpret_cast<Unpack>(start - 19744), library_path.argument(),
                         wdb_path.argument(), version.argument(), kind.argument(),
                         result.argument());
    call_restoring_stack(reinterpret_cast<Unpack>(start - 18886), library_path.argument(),
                         empty.argument(), empty.argument(), kind.argument(), result.argument());
    for (const CString* argument : {&library_path, &wdb_path, &version, &kind}) {
      EXPECT_EQ(argument->header().references, 1) << "the routines released their arguments";
    }
    EXPECT_EQ(result.header().references, result_references);
  }
  EXPECT_STREQ(result.c_str(), "") << "the routines wrote into their own copies";
  const std::string args = "(\"lib path\", \"" + wdb + "\", \"V10G\", \"BIN\", \"\")";
  EXPECT_EQ(log(),
            "load Inf_WebDnld.dll\n"
            "first_unpack" +
                args +
                "\n"
                "first_unpack: WDB file of 1234 bytes, version V10G\n"
                "second_unpack(\"lib path\", \"\", \"\", \"BIN\", \"\")\n"
                "second_unpack: WDB file not found\n"
                "unload Inf_WebDnld.dll\n");
}
