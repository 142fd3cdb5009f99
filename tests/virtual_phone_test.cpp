// The stand-in flash download library, loaded in this process as the program loads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>

#include "shell/console.hpp"
#include "shell/library_binding.hpp"
#include "tests/support/files.hpp"
#include "tests/support/memory.hpp"
#include "tests/support/scripted_console.hpp"
#include "transfer/actions.hpp"
#include "transfer/download_session.hpp"
#include "transfer/partition_table.hpp"

using testing_support::Bytes;
using testing_support::read_bytes;
using testing_support::read_text;
using testing_support::ScratchFolder;
using testing_support::set_environment;
using testing_support::write_bytes;
namespace fs = std::filesystem;
using namespace vendor_abi;

namespace {

const std::string standin_path = std::string(KORVANTA_BIN_DIR) + "/IFWD_DownloadDll.dll";
constexpr std::uint32_t page = 2048;
constexpr std::uint32_t block = 16384;

class VirtualPhone : public ::testing::Test {
 protected:
  VirtualPhone() {
    set_environment("KORVANTA_VIRTUAL_PHONE", flash().string());
    set_environment("KORVANTA_STANDIN_LOG", (scratch_ / "calls.log").string());
    set_environment("KORVANTA_STANDIN_FAULTS", "");
    write_bytes(sec_pack(), Bytes(100, 0x5A));
    bind();
  }
  ~VirtualPhone() override {
    set_environment("KORVANTA_STANDIN_LOG", "");
    set_environment("KORVANTA_STANDIN_FAULTS", "");
  }

  void bind() {
    library_ = bind_library(standin_path);
    resolve_entry_points(library_, entry_point("_IFWD_DL_get_dll_version", get_dll_version),
                         entry_point("_IFWD_DL_set_dll_parameter", set_dll_parameter),
                         entry_point("_IFWD_DL_open_comm_port", open_comm_port),
                         entry_point("_IFWD_DL_boot_bin_target", boot_bin_target),
                         entry_point("_IFWD_DL_boot_target", boot_target),
                         entry_point("_IFWD_DL_download_bin_image", download_bin_image),
                         entry_point("_IFWD_DL_upload_bin_image", upload_bin_image),
                         entry_point("_IFWD_DL_force_target_reset", force_target_reset),
                         entry_point("_IFWD_DL_close_comm_port", close_comm_port),
                         entry_point("_IFWD_DL_get_sw_version_data", get_sw_version_data));
  }

  fs::path flash() const { return scratch_ / "flash"; }
  fs::path sec_pack() const { return scratch_ / "psi.flb"; }
  fs::path file(const std::string& name) const { return scratch_ / name; }
  std::string status() { return buffer_text(status_); }
  std::string log() const { return read_text(scratch_ / "calls.log"); }
  void release() { library_.reset(); }

  std::size_t stored_chunks() const {
    if (!fs::exists(flash())) return 0;
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(flash()), fs::directory_iterator()));
  }

  int open(const std::string& port = "\\\\.\\USB1") {
    return open_comm_port(1, port.c_str(), port.c_str(), reply_.data(), status_.data());
  }
  int boot(const fs::path& path) {
    return boot_bin_target(1, path.string().c_str(), reply_.data(), status_.data());
  }
  void open_and_boot() {
    ASSERT_EQ(open(), 0) << status();
    ASSERT_EQ(boot(sec_pack()), 0) << status();
  }
  int download(std::uint32_t address, std::uint32_t last_offset, const fs::path& path) {
    return download_bin_image(1, address, 0, last_offset, path.string().c_str(), 0, status_.data());
  }
  int upload(std::uint32_t address, std::uint32_t length, const fs::path& path) {
    return upload_bin_image(1, address, length, path.string().c_str(), 0, status_.data());
  }

  GetDllVersion* get_dll_version = nullptr;
  SetDllParameter* set_dll_parameter = nullptr;
  OpenCommPort* open_comm_port = nullptr;
  BootBinTarget* boot_bin_target = nullptr;
  BootTarget* boot_target = nullptr;
  DownloadBinImage* download_bin_image = nullptr;
  UploadBinImage* upload_bin_image = nullptr;
  ForceTargetReset* force_target_reset = nullptr;
  CloseCommPort* close_comm_port = nullptr;
  GetSwVersionData* get_sw_version_data = nullptr;

 private:
  ScratchFolder scratch_;
  Library library_;
  StatusBuffer status_{};
  ReplyBuffer reply_{};
};

Bytes counting_bytes(std::size_t count, std::uint8_t start) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(start + i * 13);
  return bytes;
}

}  // namespace

TEST_F(VirtualPhone, OnlyPortsNamedLikeUsbPortsOpen) {
  const std::pair<std::string, bool> cases[] = {
      {"\\\\.\\USB1", true},   {"\\\\.\\USB12", true}, {"COM1", false},        {"", false},
      {"\\\\.\\USB", false},   {"\\\\.\\USBx", false}, {"\\\\.\\usb1", false}, {"\\.\\USB1", false},
      {"\\\\.\\USB1 ", false},
  };
  for (const auto& [port, opens] : cases) {
    SCOPED_TRACE(port);
    EXPECT_EQ(open(port) == 0, opens);
    if (!opens) {
      EXPECT_NE(status().find("Cannot open port \"" + port + "\""), std::string::npos);
    }
  }
}

TEST_F(VirtualPhone, TransfersNeedAnOpenPortAndAPhoneBootedWithAnExistingFile) {
  EXPECT_NE(upload(0x08000000, block, file("raw")), 0);
  EXPECT_EQ(status(), "Port not open");
  ASSERT_EQ(open(), 0);
  EXPECT_NE(upload(0x08000000, block, file("raw")), 0);
  EXPECT_EQ(status(), "Phone not booted: send the sec-pack first");
  EXPECT_NE(boot(file("missing.flb")), 0);
  EXPECT_EQ(status(), "Boot file not found: " + file("missing.flb").string());
  EXPECT_NE(boot(flash().parent_path()), 0) << "a folder is no sec-pack file";
  EXPECT_EQ(boot(sec_pack()), 0);
  EXPECT_EQ(upload(0x08000000, block, file("raw")), 0) << status();
  ASSERT_EQ(force_target_reset(1, 0, 0, 0, 2, nullptr), 0);
  EXPECT_NE(upload(0x08000000, block, file("raw")), 0) << "a reset ends the boot";
  ASSERT_EQ(close_comm_port(1, nullptr), 0);
  EXPECT_NE(boot(sec_pack()), 0) << "a closed port boots nothing";
}

TEST_F(VirtualPhone, ErasedFlashReadsFFAndTheRawFileHoldsOnePagePerBlock) {
  open_and_boot();
  // Three pages from `base`; 3,000 bytes written from 1,000 bytes into the first page on.
  const std::uint32_t base = 0x0800F800;
  const Bytes written = counting_bytes(3000, 1);
  write_bytes(file("part.bin"), written);
  ASSERT_EQ(download(base + 1000, 2999, file("part.bin")), 0) << status();
  Bytes flash_image(3 * page, 0xFF);
  std::copy(written.begin(), written.end(), flash_image.begin() + 1000);

  for (const std::uint32_t length : {3 * block, 2 * block + 100, 2 * block + page + 7, 0u}) {
    SCOPED_TRACE(length);
    ASSERT_EQ(upload(base, length, file("raw")), 0) << status();
    const Bytes raw = read_bytes(file("raw"));
    ASSERT_EQ(raw.size(), length);
    for (std::size_t at = 0; at < raw.size(); ++at) {
      const std::size_t k = at / block;
      const std::size_t in_block = at % block;
      const std::uint8_t expected = in_block < page ? flash_image[k * page + in_block] : 0;
      ASSERT_EQ(raw[at], expected) << "at byte " << at;
    }
  }
}

TEST_F(VirtualPhone, StoresOnlyTheChunksThatWereWritten) {
  open_and_boot();
  ASSERT_EQ(upload(0x18000000, 64 * block, file("raw")), 0) << status();
  EXPECT_EQ(stored_chunks(), 0u) << "reading erased flash stores nothing";

  write_bytes(file("small.bin"), counting_bytes(10, 3));
  ASSERT_EQ(download(0x18000000, 9, file("small.bin")), 0) << status();
  EXPECT_EQ(stored_chunks(), 1u);
  write_bytes(file("across.bin"), counting_bytes(0x300, 9));
  ASSERT_EQ(download(0x0800FF00, 0x2FF, file("across.bin")), 0) << status();
  EXPECT_EQ(stored_chunks(), 3u) << "a write across a 64 KiB boundary touches two chunks";

  // What was written is kept on disk: a fresh load of the library reads it back.
  release();
  bind();
  open_and_boot();
  ASSERT_EQ(upload(0x18000000, 12, file("raw")), 0) << status();
  EXPECT_EQ(read_bytes(file("raw")), [] {
    Bytes expected = counting_bytes(10, 3);
    expected.resize(12, 0xFF);
    return expected;
  }());
}

TEST_F(VirtualPhone, RefusesDownloadsBeyondTheRangeOrTheFlash) {
  open_and_boot();
  write_bytes(file("data.bin"), counting_bytes(4096, 0));
  struct Case {
    const char* what;
    std::uint32_t address;
    std::uint32_t last_offset;
    std::string file;
    std::string status_begins;
  };
  const Case cases[] = {
      {"a file longer than the range", 0x08000000, 4094, "data.bin",
       "Data file \"" + file("data.bin").string() + "\" holds 4096 bytes, more than the 4095"},
      {"a range past the end of the flash", 0x54503800, 0xFFF, "data.bin",
       "Range 0x54503800-0x545047FF lies outside the flash"},
      {"a range past 4 GiB", 0xFFFFF000, 0x1FFF, "data.bin", "Range 0xFFFFF000-0x100000FFF"},
      {"a missing data file", 0x08000000, 0xFFFF, "none.bin",
       "Cannot open data file \"" + file("none.bin").string() + "\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_NE(download(c.address, c.last_offset, file(c.file)), 0);
    EXPECT_EQ(status().rfind(c.status_begins, 0), 0u) << status();
  }
  EXPECT_EQ(stored_chunks(), 0u) << "a refused download writes nothing";
  EXPECT_EQ(download(0x54503000, 0xFFF, file("data.bin")), 0) << "the flash's last 4 KiB";
}

TEST_F(VirtualPhone, AnUploadOfEverythingStopsAtTheEndOfThePartitionHoldingTheAddress) {
  open_and_boot();
  struct Case {
    std::uint32_t address;
    std::uint64_t raw_length;  // 0: refused
  };
  const Case cases[] = {
      {0x544FC000, 16 * block},                          // STATIC_EEP from its start
      {0x544FC000 + 0x7800, 1 * block},                  // its last page
      {0x0002B800, 8 * block},                           // PSI: 7.5 pages, the half one read whole
      {0x4003F800, (0xA0000 - 0x3F800) / page * block},  // EBL and SLB: SLB reaches further
      {0x50000000, 0},                                   // in no partition
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    fs::remove(file("raw"));
    const int result = upload(c.address, 0xFFFFFFFF, file("raw"));
    if (c.raw_length == 0) {
      EXPECT_NE(result, 0);
      EXPECT_EQ(status(), "No partition holds 0x50000000: give a length");
      EXPECT_FALSE(fs::exists(file("raw")));
    } else {
      EXPECT_EQ(result, 0) << status();
      EXPECT_EQ(fs::file_size(file("raw")), c.raw_length);
    }
  }
}

TEST_F(VirtualPhone, TheFailControlMakesTheNamedEntryPointFailWithItsName) {
  const std::pair<const char*, std::function<int()>> calls[] = {
      {"_IFWD_DL_set_dll_parameter", [&] { return set_dll_parameter(1, 0, 0, nullptr); }},
      {"_IFWD_DL_open_comm_port", [&] { return open(); }},
      {"_IFWD_DL_boot_bin_target", [&] { return boot(sec_pack()); }},
      {"_IFWD_DL_boot_target",
       [&] { return boot_target(1, sec_pack().string().c_str(), nullptr, nullptr); }},
      {"_IFWD_DL_download_bin_image", [&] { return download(0x08000000, 99, sec_pack()); }},
      {"_IFWD_DL_upload_bin_image", [&] { return upload(0x08000000, block, file("raw")); }},
      {"_IFWD_DL_force_target_reset", [&] { return force_target_reset(1, 0, 0, 0, 2, nullptr); }},
      {"_IFWD_DL_get_sw_version_data",
       [&] { return get_sw_version_data(1, sec_pack().string().c_str(), nullptr, 0, 0, nullptr); }},
      {"_IFWD_DL_close_comm_port", [&] { return close_comm_port(1, nullptr); }},
  };
  for (const auto& [name, call] : calls) {
    SCOPED_TRACE(name);
    set_environment("KORVANTA_STANDIN_FAULTS", "");
    open_and_boot();
    EXPECT_EQ(call(), 0) << status();
    open_and_boot();
    set_environment("KORVANTA_STANDIN_FAULTS", std::string(name) + "=fail");
    EXPECT_NE(call(), 0);
  }
  // The status text names the entry point that was told to fail.
  set_environment("KORVANTA_STANDIN_FAULTS", "_IFWD_DL_open_comm_port=fail");
  EXPECT_NE(open(), 0);
  EXPECT_EQ(status(), "_IFWD_DL_open_comm_port failed (KORVANTA_STANDIN_FAULTS)");
  EXPECT_NE(get_dll_version(), nullptr);
  set_environment("KORVANTA_STANDIN_FAULTS", "_IFWD_DL_get_dll_version=fail");
  EXPECT_EQ(get_dll_version(), nullptr);
}

TEST_F(VirtualPhone, TheUnterminatedControlFillsTheWholeStatusBuffer) {
  set_environment("KORVANTA_STANDIN_FAULTS", "_IFWD_DL_open_comm_port=unterminated");
  StatusBuffer raw_status{};
  EXPECT_NE(open_comm_port(1, "COM1", "COM1", nullptr, raw_status.data()), 0);
  EXPECT_EQ(std::find(raw_status.begin(), raw_status.end(), '\0'), raw_status.end());
  EXPECT_EQ(buffer_text(raw_status).size(), status_buffer_size - 1);
}

TEST_F(VirtualPhone, TheCallLogNamesEveryCallWithItsArgumentsAndTheRelease) {
  open_and_boot();
  write_bytes(file("d.bin"), counting_bytes(16, 0));
  download(0x08000000, 0xFF, file("d.bin"));
  upload(0x08000000, 0x4000, file("d.big"));
  force_target_reset(1, 0, 0, 0, 2, nullptr);
  close_comm_port(1, nullptr);
  release();
  EXPECT_EQ(log(),
            "load IFWD_DownloadDll.dll\n"
            "_IFWD_DL_open_comm_port(1, \"\\\\.\\USB1\", \"\\\\.\\USB1\")\n"
            "_IFWD_DL_boot_bin_target(1, \"" +
                sec_pack().string() +
                "\")\n"
                "_IFWD_DL_download_bin_image(1, 0x08000000, 0x0, 0x000000FF, \"" +
                file("d.bin").string() +
                "\", 0x0)\n"
                "_IFWD_DL_upload_bin_image(1, 0x08000000, 0x00004000, \"" +
                file("d.big").string() +
                "\", 0x0)\n"
                "_IFWD_DL_force_target_reset(1, 0, 0, 0, 2)\n"
                "_IFWD_DL_close_comm_port(1)\n"
                "unload IFWD_DownloadDll.dll\n");
}

// A ROOT_DISK backup run in this process, as the program runs it: the 192 MB raw file
// is written and read a block at a time, never held.
TEST_F(VirtualPhone, ARootDiskBackupStaysUnder16MiBOfMemory) {
  release();
  const testing_support::ScriptedConsole console("\\\\.\\USB1\n" + sec_pack().string() + "\n" +
                                                 file("root.bin").string() + "\n");
  const std::uint64_t before = testing_support::peak_memory_bytes();
  transfer_partition(partition_address("ROOT_DISK"), partition_size("ROOT_DISK"), false, false);
  const std::uint64_t after = testing_support::peak_memory_bytes();

  EXPECT_LT(after - before, 16u << 20) << "peak grew from " << before << " to " << after;
  EXPECT_NE(
      console.printed().find("Receiving memory data in progress...\nRestarting the phone..\n"),
      std::string::npos)
      << console.printed();
  EXPECT_EQ(fs::file_size(file("root.bin.big")), 0x0B748000u);
  const Bytes data = read_bytes(file("root.bin"));
  EXPECT_EQ(data.size(), 24023040u);
  EXPECT_EQ(std::count(data.begin(), data.end(), 0xFF), static_cast<std::ptrdiff_t>(data.size()))
      << "a never-written partition reads as erased flash";
}
