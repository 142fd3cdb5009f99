// The partition letters A to F, N and O against the virtual phone.
#include <gtest/gtest.h>

#include "tests/e2e/phone_fixture.hpp"

using namespace phone_testing;
using testing_support::read_bytes;
using testing_support::transcript;
using testing_support::write_bytes;
namespace fs = std::filesystem;

namespace {

const std::string transfer_entry_points[] = {
    "_IFWD_DL_get_dll_version",    "_IFWD_DL_set_dll_parameter",  "_IFWD_DL_open_comm_port",
    "_IFWD_DL_boot_bin_target",    "_IFWD_DL_force_target_reset", "_IFWD_DL_upload_bin_image",
    "_IFWD_DL_download_bin_image", "_IFWD_DL_close_comm_port",
};

class PartitionTransfer : public PhoneTranscript {};

}  // namespace

TEST_F(PartitionTransfer, EachSendLetterWritesItsPartitionFromTheDataFile) {
  write_bytes(work("part.bin"), random_bytes(5000, 1));
  const std::pair<std::string, std::pair<std::uint32_t, std::uint32_t>> letters[] = {
      {"A", {0x18000000, 0x016E9000}},
      {"c", {0x10000000, 0x014EB000}},
      {"E", {0x08000000, 0x00EB1400}},
      {"n", {0x544FC000, 0x00008000}},
  };
  for (const auto& [letter, range] : letters) {
    SCOPED_TRACE(letter);
    const Session session = run_phone(letter + "\n" + answers("part.bin") + "Q\n");
    EXPECT_EQ(session.output, transcript({transfer_opening + booted + sending + closing}));
    EXPECT_EQ(session.exit_status, 0);
    EXPECT_EQ(calls(), bound({version_call, open_call(), boot_call(),
                              download_call(range.first, range.second - 1, "part.bin"), reset_call,
                              close_call}));
  }
}

TEST_F(PartitionTransfer, EachBackupLetterAsksForItsWholePages) {
  // The upload is refused here, so that no raw file of up to 192 MB is written; the round
  // trips below run whole backups.
  const std::pair<std::string, std::pair<std::uint32_t, std::uint32_t>> letters[] = {
      {"B", {0x18000000, 0x0B748000}},
      {"d", {0x10000000, 0x0A758000}},
      {"F", {0x08000000, 0x07588000}},
      {"o", {0x544FC000, 0x00040000}},
  };
  for (const auto& [letter, request] : letters) {
    SCOPED_TRACE(letter);
    const Session session =
        run_phone(letter + "\n" + answers("back.bin") + "Q\n",
                  {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_upload_bin_image=fail"}});
    EXPECT_EQ(session.output,
              transcript({transfer_opening + booted + receiving + closing +
                          "Error during the data receiving: _IFWD_DL_upload_bin_image failed "
                          "(KORVANTA_STANDIN_FAULTS)\n"}));
    EXPECT_EQ(calls(), bound({version_call, open_call(), boot_call(),
                              upload_call(request.first, request.second, "back.bin.big"),
                              reset_call, close_call}));
    EXPECT_FALSE(fs::exists(work("back.bin"))) << "a refused upload leaves no data file";
  }
}

TEST_F(PartitionTransfer, StaticEepBackupReadsErasedFlash) {
  const Session session = run_phone("O\n" + answers("eep.bin") + "Q\n");
  EXPECT_EQ(session.output, transcript({transfer_opening + booted + receiving + closing}));
  EXPECT_EQ(read_bytes(work("eep.bin")), Bytes(0x8000, 0xFF));
  EXPECT_EQ(fs::file_size(work("eep.bin.big")), 0x40000u) << "the raw file stays";
}

TEST_F(PartitionTransfer, RootDiskRoundTripGivesBackTheSameBytes) {
  const Bytes root = random_bytes(24023040, 2);
  write_bytes(work("root.bin"), root);
  const Session session =
      run_phone("A\n" + answers("root.bin") + "B\n" + answers("back.bin") + "Q\n", {},
                std::chrono::seconds(120));
  EXPECT_EQ(session.output, transcript({transfer_opening + booted + sending + closing,
                                        transfer_opening + booted + receiving + closing}));
  EXPECT_EQ(
      calls(),
      bound({version_call, open_call(), boot_call(),
             download_call(0x18000000, 0x016E8FFF, "root.bin"), reset_call, close_call}) +
          bound({version_call, open_call(), boot_call(),
                 upload_call(0x18000000, 0x0B748000, "back.bin.big"), reset_call, close_call}));
  EXPECT_EQ(fs::file_size(work("back.bin.big")), 192184320u);
  const Bytes back = read_bytes(work("back.bin"));
  EXPECT_EQ(back.size(), 24023040u);
  EXPECT_TRUE(back == root) << "the backup differs from what was sent";
}

TEST_F(PartitionTransfer, UserDiskBackupDropsTheHalfPageAtItsEnd) {
  const Bytes user = random_bytes(0x00EB1400, 3);
  write_bytes(work("user.bin"), user);
  const Session session =
      run_phone("E\n" + answers("user.bin") + "F\n" + answers("back.bin") + "Q\n", {},
                std::chrono::seconds(60));
  EXPECT_EQ(session.output, transcript({transfer_opening + booted + sending + closing,
                                        transfer_opening + booted + receiving + closing}));
  EXPECT_NE(calls().find(download_call(0x08000000, 0x00EB13FF, "user.bin")), std::string::npos);
  const Bytes back = read_bytes(work("back.bin"));
  EXPECT_EQ(back.size(), 15405056u);
  EXPECT_TRUE(std::equal(back.begin(), back.end(), user.begin()));
}

TEST_F(PartitionTransfer, FailuresAfterThePortOpeningRunTheClosingStepsFirst) {
  write_bytes(work("part.bin"), random_bytes(100, 4));
  const std::string no_com1 = "Cannot open port \"COM1\": no such port (ports are \\\\.\\USB<n>)";
  expect_runs({
      {"port not opened",
       "N\n" + answers("part.bin", "psi.flb", "COM1") + "Q\n",
       {},
       transfer_opening + closing + "Error during the port opening: " + no_com1 + "\n",
       bound({version_call, open_call("COM1"), reset_call, close_call})},
      {"sec-pack missing",
       "N\n" + answers("part.bin", "none.flb") + "Q\n",
       {},
       transfer_opening + "Port open... PLUG THE PHONE\nSend of the sec-pack...\n" + closing +
           "Error during the sec-pack sending: Boot file not found: none.flb\n",
       bound({version_call, open_call(), boot_call("none.flb"), reset_call, close_call})},
      {"data file missing",
       "N\n" + answers("none.bin") + "Q\n",
       {},
       transfer_opening + booted + sending + closing +
           "Error during the data sending: Cannot open data file \"none.bin\"\n",
       bound({version_call, open_call(), boot_call(), download_call(0x544FC000, 0x7FFF, "none.bin"),
              reset_call, close_call})},
      {"download refused",
       "N\n" + answers("part.bin") + "Q\n",
       {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_download_bin_image=fail"}},
       transfer_opening + booted + sending + closing +
           "Error during the data sending: _IFWD_DL_download_bin_image failed "
           "(KORVANTA_STANDIN_FAULTS)\n",
       bound({version_call, open_call(), boot_call(), download_call(0x544FC000, 0x7FFF, "part.bin"),
              reset_call, close_call})},
      {"upload raises",
       "O\n" + answers("part.bin") + "Q\n",
       {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_upload_bin_image=throw"}},
       transfer_opening + booted + receiving + closing +
           "_IFWD_DL_upload_bin_image raised an exception (KORVANTA_STANDIN_FAULTS)\n",
       bound({version_call, open_call(), boot_call(),
              upload_call(0x544FC000, 0x40000, "part.bin.big"), destroyed, reset_call,
              close_call})},
      {"raw file short",
       "O\n" + answers("part.bin") + "Q\n",
       {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_upload_bin_image=cut:17000"}},
       transfer_opening + booted + receiving + closing +
           "Error during opening/reading/writing of file: ios_base::failbit set\n",
       bound({version_call, open_call(), boot_call(),
              upload_call(0x544FC000, 0x40000, "part.bin.big"), reset_call, close_call})},
      {"status without terminator",
       "N\n" + answers("part.bin", "psi.flb", "COM1") + "Q\n",
       {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_open_comm_port=unterminated"}},
       // The library filled all 512 bytes: the last one gives way to the terminator.
       transfer_opening + closing + "Error during the port opening: " + no_com1 +
           std::string(511 - no_com1.size(), '#') + "\n",
       bound({version_call, open_call("COM1"), reset_call, close_call})},
  });
  // The short raw file held one whole page (and 616 bytes of the next): the whole page
  // reached the data file before the failure.
  EXPECT_EQ(read_bytes(work("part.bin")), Bytes(2048, 0xFF));
}

TEST_F(PartitionTransfer, ABindingFailureStopsBeforeTheFirstPrompt) {
  for (const std::string& entry_point : transfer_entry_points) {
    SCOPED_TRACE(entry_point);
    install_variant_without(entry_point);
    const Session session = run_phone("B\nQ\n");
    EXPECT_EQ(session.output, transcript({"Procedure not found:" + entry_point + "\n"}));
    EXPECT_EQ(calls(), bound({})) << "released, and nothing called";
  }
  remove_library();
  const Session session = run_phone("a\nQ\n");
  EXPECT_EQ(session.output, transcript({"Error during the loading DLL\n"}));
  EXPECT_EQ(calls(), "");
}

TEST_F(PartitionTransfer, TheRestOfTheChoiceLineNeverReachesThePortPrompt) {
  write_bytes(work("part.bin"), random_bytes(10, 5));
  const Session session = run_phone("Ab\n" + answers("part.bin") + "Q\n");
  EXPECT_EQ(session.output, transcript({transfer_opening + booted + sending + closing}));
  EXPECT_EQ(calls(),
            bound({version_call, open_call(usb1), boot_call(),
                   download_call(0x18000000, 0x016E8FFF, "part.bin"), reset_call, close_call}));
}

TEST_F(PartitionTransfer, TheEndOfInputInsideATransferEndsTheProgram) {
  const Session session = run_phone("N\n" + usb1 + "\n", {}, std::chrono::seconds(5));
  EXPECT_FALSE(session.timed_out);
  EXPECT_EQ(session.exit_status, 0);
  EXPECT_EQ(session.output, testing_support::banner + testing_support::menu + "Choice: " + version +
                                port_prompt + sec_pack_prompt + "\n");
  EXPECT_EQ(calls(), bound({version_call})) << "the library is released";
}
