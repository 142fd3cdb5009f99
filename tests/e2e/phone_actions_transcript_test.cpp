// Letters M, V and X against the virtual phone.
#include <gtest/gtest.h>

#include "tests/e2e/phone_fixture.hpp"
#include "tests/support/bmp.hpp"

using namespace phone_testing;
using testing_support::read_bytes;
using testing_support::transcript;
using testing_support::write_bytes;
namespace fs = std::filesystem;

namespace {

const std::string partition_listing =
    "ID\tNAME\t\tOFFSET\t\tSIZE\n"
    "-------------------------------------------------------------------------------\n"
    "A\tSTATIC_EEP\t0x544fc000\t0x00008000\n"
    "B\tDYNAMIC_EEP\t0x54440000\t0x0000c000\n"
    "C\tCUST\t0x46680000\t0x00060000\n"
    "D\tDSP\t0x46600000\t0x00080000\n"
    "E\tCODE1\t0x43100000\t0x03500000\n"
    "F\tCODE2\t0x42900000\t0x00800000\n"
    "G\tEBL\t0x40000000\t0x00040000\n"
    "H\tSLB\t0x40000000\t0x000a0000\n"
    "I\tCLONE\t0x38000000\t0x08400000\n"
    "J\tPREFLASH\t0x30000000\t0x08400100\n"
    "K\tROOT_DISK\t0x18000000\t0x016e9000\n"
    "L\tCUST_DISK\t0x10000000\t0x014eb000\n"
    "M\tUSER_DISK\t0x08000000\t0x00eb1400\n"
    "N\tPSI\t0x0002b800\t0x00003c00\n"
    "O\tPSI_RAM\t0x00020000\t0x00004000\n"
    "P\tCAL_BACKUP\t0x00000050\t0x00008000\n"
    "Z\tOTHER\n";

std::string shown(const std::string& offset, const std::string& size) {
  return "Offset: 0x" + offset + "\nSize: 0x" + size + "\nValid?";
}

const std::string send_question = "Send?(Y/O/1): ";
const std::string force_question = "Force?(Y/O/1): ";

const std::string restart_opening = version + port_prompt + sec_pack_prompt + "Loading...\n";
const std::string boot_opening = version + port_prompt + "Exec file\nLoading...\n";

std::string version_data_call(const std::string& file = "psi.flb") {
  return "_IFWD_DL_get_sw_version_data(1, \"" + file + "\", 0, 10000)\n";
}

class ExtendedTransfer : public PhoneTranscript {};
class RestartPhone : public PhoneTranscript {};
class BootExecutable : public PhoneTranscript {};

}  // namespace

TEST_F(ExtendedTransfer, ChoicesSelectNothingUntilARangeIsConfirmed) {
  const Session session =
      run_phone("M\nq\n5\n#\n\n  c\nn\nZ\n2B800\n3c00\n1\nn\nn\n" + answers("psi.bin") + "Q\n");
  EXPECT_EQ(session.output,
            transcript({partition_listing +
                        "Choice: Choice: Choice: Choice: " + shown("46680000", "60000") +
                        "Choice: Offset: Size: " + shown("2b800", "3c00") + send_question +
                        force_question + transfer_opening + booted + receiving + closing}));
  EXPECT_EQ(calls(),
            bound({version_call, open_call(), boot_call(),
                   upload_call(0x0002B800, 7 * 16384, "psi.bin.big"), reset_call, close_call}));
  EXPECT_EQ(read_bytes(work("psi.bin")), Bytes(7 * 2048, 0xFF));
}

TEST_F(ExtendedTransfer, TheAnswersChooseSendBackupOrForcedBackup) {
  write_bytes(work("eep.bin"), random_bytes(0x8000, 6));
  struct Case {
    const char* what;
    std::string answers;
    std::string questions;
    std::string transfer;
    std::string call;
  };
  const Case cases[] = {
      {"send; the b after a is dropped before Valid?", "ab\ny\ny\n", send_question, sending,
       download_call(0x544FC000, 0x7FFF, "eep.bin")},
      {"backup", "A\no\nN\nn\n", send_question + force_question, receiving,
       upload_call(0x544FC000, 0x40000, "eep.bin.big")},
      {"forced backup", "a\n1\nn\nO\n", send_question + force_question, receiving,
       upload_call(0x544FC000, 0xFFFFFFFF, "eep.bin.big")},
  };
  const Bytes sent = read_bytes(work("eep.bin"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Session session = run_phone("M\n" + c.answers + answers("eep.bin") + "Q\n");
    EXPECT_EQ(session.output,
              transcript({partition_listing + "Choice: " + shown("544fc000", "8000") + c.questions +
                          transfer_opening + booted + c.transfer + closing}));
    EXPECT_EQ(calls(),
              bound({version_call, open_call(), boot_call(), c.call, reset_call, close_call}));
    EXPECT_EQ(read_bytes(work("eep.bin")), sent) << "what was sent comes back";
  }
}

TEST_F(ExtendedTransfer, AForcedBackupWithoutARawFileEmptiesTheDataFileAndSaysWhy) {
  write_bytes(work("eep.bin"), random_bytes(300, 7));
  const Session session =
      run_phone("M\nA\ny\nn\ny\n" + answers("eep.bin") + "Q\n",
                {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_upload_bin_image=fail"}});
  EXPECT_EQ(session.output,
            transcript({partition_listing + "Choice: " + shown("544fc000", "8000") + send_question +
                        force_question + transfer_opening + booted + receiving + closing +
                        "Error during the data receiving: _IFWD_DL_upload_bin_image failed "
                        "(KORVANTA_STANDIN_FAULTS)\n"}));
  EXPECT_EQ(read_bytes(work("eep.bin")), Bytes{});
}

TEST_F(ExtendedTransfer, AForcedBackupTakesTheRawFileItsUploadWroteWhateverItsTime) {
  // The upload rewrites the raw file of the backup before in place, with the same size,
  // and puts its modification time back: only what the upload did tells the two apart.
  const Bytes first = random_bytes(0x8000, 11);
  const Bytes second = random_bytes(0x8000, 12);
  write_bytes(work("first.bin"), first);
  write_bytes(work("second.bin"), second);
  const std::string eep = "M\nA\ny\n";
  const Session session =
      run_phone(eep + "y\n" + answers("first.bin") + eep + "n\nn\n" + answers("eep.bin") + eep +
                    "y\n" + answers("second.bin") + eep + "n\ny\n" + answers("eep.bin") + "Q\n",
                {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_upload_bin_image=keep_time"}});
  const std::string asked =
      partition_listing + "Choice: " + shown("544fc000", "8000") + send_question;
  const std::string sent = asked + transfer_opening + booted + sending + closing;
  const std::string backed_up =
      asked + force_question + transfer_opening + booted + receiving + closing;
  EXPECT_EQ(session.output, transcript({sent, backed_up, sent, backed_up}));
  EXPECT_EQ(read_bytes(work("eep.bin")), second) << "the second send comes back";
  EXPECT_FALSE(fs::exists(work("eep.bin.big.before-forced-backup")));
}

TEST_F(ExtendedTransfer, ARawFileSetAsideByAnInterruptedForcedBackupIsNeverLost) {
  const Bytes earlier = random_bytes(3 * 16384, 13);
  const Bytes newer = random_bytes(16384, 14);
  const std::string forced = "M\nA\ny\nn\ny\n" + answers("eep.bin") + "Q\n";
  const std::string asked =
      partition_listing + "Choice: " + shown("544fc000", "8000") + send_question + force_question;
  const Environment refused_upload{{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_upload_bin_image=fail"}};
  struct Case {
    const char* what;
    bool raw_file_there;
    Environment controls;
    std::string printed;
    Bytes raw_file;  // the raw file afterwards
  };
  const Case cases[] = {
      {"alone: back under its own name, then set aside again for the upload", false, refused_upload,
       asked + transfer_opening + booted + receiving + closing +
           "Error during the data receiving: _IFWD_DL_upload_bin_image failed "
           "(KORVANTA_STANDIN_FAULTS)\n",
       earlier},
      {"beside a raw file: neither is touched",
       true,
       {},
       asked + version + port_prompt + sec_pack_prompt + "Data file: " +
           "An interrupted forced backup left the earlier raw file "
           "'eep.bin.big.before-forced-backup' beside 'eep.bin.big', which is newer: keep one of "
           "them under 'eep.bin.big' and remove the other\n",
       newer},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(work("eep.bin.big"));
    write_bytes(work("eep.bin.big.before-forced-backup"), earlier);
    if (c.raw_file_there) write_bytes(work("eep.bin.big"), newer);
    const Session session = run_phone(forced, c.controls);
    EXPECT_EQ(session.output, transcript({c.printed}));
    EXPECT_EQ(read_bytes(work("eep.bin.big")), c.raw_file);
    EXPECT_EQ(fs::exists(work("eep.bin.big.before-forced-backup")), c.raw_file_there);
  }
}

TEST_F(PhoneTranscript, ABackupNeitherPassesOffAStaleRawFileNorOverwritesTheSecPack) {
  const Bytes stale = random_bytes(3 * 16384, 9);
  write_bytes(work("dump.bin"), Bytes(2048, 0x5A));
  write_bytes(work("dump.bin.big"), stale);
  write_bytes(work("d.big"), Bytes(64, 0x22));
  write_bytes(work("e.big.before-forced-backup"), Bytes(64, 0x33));
  fs::create_directory(work("sub"));
  const std::string forced = "M\nz\n10000\n1000\ny\nn\ny\n";
  const std::string asked = partition_listing + "Choice: Offset: Size: " + shown("10000", "1000") +
                            send_question + force_question;
  const auto refused = [](const std::string& sec_pack) {
    return version + port_prompt + sec_pack_prompt +
           "Data file: " + "The backup would overwrite the sec-pack file " + sec_pack +
           ": choose another data file\n";
  };
  expect_runs({
      {"a stale raw file under a refused forced upload",
       forced + answers("dump.bin") + "Q\n",
       {},
       asked + transfer_opening + booted + receiving + closing +
           "Error during the data receiving: No partition holds 0x00010000: give a length\n",
       bound({version_call, open_call(), boot_call(),
              upload_call(0x10000, 0xFFFFFFFF, "dump.bin.big"), reset_call, close_call})},
      {"the sec-pack as typed",
       "O\n" + answers("psi.flb") + "Q\n",
       {},
       refused("psi.flb"),
       bound({version_call})},
      {"through another folder",
       "B\n" + answers("sub/../psi.flb", "./psi.flb") + "Q\n",
       {},
       refused("./psi.flb"),
       bound({version_call})},
      {"as a whole path",
       "d\n" + answers(work("psi.flb").string()) + "Q\n",
       {},
       refused("psi.flb"),
       bound({version_call})},
      {"as the raw file",
       forced + answers("d", "d.big") + "Q\n",
       {},
       asked + refused("d.big"),
       bound({version_call})},
      {"as where a forced backup sets an earlier raw file aside",
       forced + answers("e", "e.big.before-forced-backup") + "Q\n",
       {},
       asked + refused("e.big.before-forced-backup"),
       bound({version_call})},
  });
  EXPECT_EQ(read_bytes(work("dump.bin.big")), stale) << "the stale raw file stays as it was";
  EXPECT_EQ(read_bytes(work("dump.bin")), Bytes{}) << "emptied, as with no raw file";
  EXPECT_EQ(read_bytes(work("psi.flb")), Bytes(64, 0x11));
  EXPECT_EQ(read_bytes(work("d.big")), Bytes(64, 0x22));
  EXPECT_EQ(read_bytes(work("e.big.before-forced-backup")), Bytes(64, 0x33));
}

TEST_F(ExtendedTransfer, TypedNumbersAreAskedAgainUntilTheyFitAndInputEndsTheAction) {
  const Session session =
      run_phone("M\nz\nxyz\n80000000\n-1\n0X50 and more\nn\n", {}, std::chrono::seconds(5));
  EXPECT_FALSE(session.timed_out);
  EXPECT_EQ(session.exit_status, 0);
  EXPECT_EQ(session.output,
            testing_support::banner + testing_support::menu + "Choice: " + partition_listing +
                "Choice: Offset: Offset: Offset: Size: " + shown("ffffffff", "50") + "Choice: \n");
  EXPECT_EQ(calls(), "") << "no range was confirmed: the library is never loaded";

  const Session ended = run_phone("M\nz\n", {}, std::chrono::seconds(5));
  EXPECT_FALSE(ended.timed_out);
  EXPECT_EQ(ended.exit_status, 0);
  EXPECT_EQ(ended.output, testing_support::banner + testing_support::menu +
                              "Choice: " + partition_listing + "Choice: Offset: \n");
}

TEST_F(ExtendedTransfer, RangesTheLibraryCannotTakeAreRefusedBeforeBinding) {
  const Session session = run_phone("M\nz\n0\n20000000\ny\nn\nn\nM\nz\n100\n0\ny\n1\nQ\n");
  EXPECT_EQ(session.output,
            transcript({partition_listing + "Choice: Offset: Size: " + shown("0", "20000000") +
                            send_question + force_question +
                            "Range too large for a backup: 0x20000000 bytes (at most "
                            "0x1fffffff)\n",
                        partition_listing + "Choice: Offset: Size: " + shown("100", "0") +
                            send_question + "Nothing to send: the range is empty\n"}));
  EXPECT_EQ(calls(), "");
}

TEST_F(ExtendedTransfer, NumbersPrintInHexadecimalAfterwards) {
  // The boot of a file that does not exist gives -1: in decimal before M, in hexadecimal
  // after it, whether M's transfer was refused or went through.
  write_bytes(work("eep.bin"), random_bytes(0x8000, 6));
  const std::string boot = "X\n" + usb1 + "\nnone.exe\n";
  const std::string refused = "Port open... PLUG THE PHONE\nSend of the sec-pack...\n";
  const std::string after = "\n\nBoot file not found: none.exe\nPort closed\n";
  struct Case {
    const char* what;
    std::string input;    // of M
    std::string printed;  // by M
  };
  const Case cases[] = {
      {"a range refused before binding", "M\nz\n0\n20000000\ny\nn\nn\n",
       partition_listing + "Choice: Offset: Size: " + shown("0", "20000000") + send_question +
           force_question +
           "Range too large for a backup: 0x20000000 bytes (at most 0x1fffffff)\n"},
      {"a partition sent", "M\na\ny\ny\n" + answers("eep.bin"),
       partition_listing + "Choice: " + shown("544fc000", "8000") + send_question +
           transfer_opening + booted + sending + closing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Session session = run_phone(boot + c.input + boot + "Q\n");
    EXPECT_EQ(session.output, transcript({boot_opening + refused + "-1" + after, c.printed,
                                          boot_opening + refused + "ffffffff" + after}));
  }
}

TEST_F(RestartPhone, PrintsTheVersionDataThenRestartsThePhone) {
  const std::string version_data = "KS360 SW V10c, flash 0x54504000 bytes\nVersion data read\n";
  const std::string restart = "Restarting the phone..\nRestarted..\nPort closed\n";
  expect_runs({
      {"version data",
       "V\n" + usb1 + "\npsi.flb\nQ\n",
       {},
       restart_opening + version_data + restart,
       bound({version_call, open_call(), version_data_call(), reset_call, close_call})},
      {"lower case, a port name with blanks",
       "v\n\\\\.\\USB1 x\npsi.flb\nQ\n",
       {},
       restart_opening + "Error\n" + restart,
       bound({version_call, open_call("\\\\.\\USB1 x"), reset_call, close_call})},
      {"an empty port name",
       "V\n\npsi.flb\nQ\n",
       {},
       restart_opening + "Error\n" + restart,
       bound({version_call, open_call(""), reset_call, close_call})},
      {"query refused: both buffers as they stand",
       "V\n" + usb1 + "\npsi.flb\nQ\n",
       {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_get_sw_version_data=fail"}},
       restart_opening + "\n_IFWD_DL_get_sw_version_data failed (KORVANTA_STANDIN_FAULTS)\n" +
           restart,
       bound({version_call, open_call(), version_data_call(), reset_call, close_call})},
      {"sec-pack missing",
       "V\n" + usb1 + "\nnone.flb\nQ\n",
       {},
       restart_opening + "\nSec-pack file not found: none.flb\n" + restart,
       bound({version_call, open_call(), version_data_call("none.flb"), reset_call, close_call})},
      {"reset and close refused: not looked at",
       "V\n" + usb1 + "\npsi.flb\nQ\n",
       {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_force_target_reset=fail"}},
       restart_opening + version_data + restart,
       bound({version_call, open_call(), version_data_call(), reset_call, close_call})},
      {"no version text",
       "V\n" + usb1 + "\npsi.flb\nQ\n",
       {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_get_dll_version=fail"}},
       "Version of DLL: \n" + port_prompt + sec_pack_prompt + "Loading...\n" + version_data +
           restart,
       bound({version_call, open_call(), version_data_call(), reset_call, close_call})},
      {"the reset raises: the port is closed all the same",
       "V\n" + usb1 + "\npsi.flb\nQ\n",
       {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_force_target_reset=throw"}},
       restart_opening + version_data + "Restarting the phone..\nPort closed\n" +
           "_IFWD_DL_force_target_reset raised an exception (KORVANTA_STANDIN_FAULTS)\n",
       bound({version_call, open_call(), version_data_call(), reset_call, destroyed, close_call})},
      {"the query raises: a failure of the guarded steps",
       "V\n" + usb1 + "\npsi.flb\nQ\n",
       {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_get_sw_version_data=throw"}},
       restart_opening + "Error\n" + restart,
       bound({version_call, open_call(), version_data_call(), destroyed, reset_call, close_call})},
  });
}

TEST_F(BootExecutable, BootsTheNamedFileAndPrintsWhatTheLibrarySays) {
  write_bytes(work("run.bin"), random_bytes(32, 8));
  const std::string port_open = "Port open... PLUG THE PHONE\nSend of the sec-pack...\n";
  const std::string boot_call_of_run = "_IFWD_DL_boot_bin_target(1, \"run.bin\")\n";
  expect_runs({
      {"booted",
       "X\n" + usb1 + "\nrun.bin\nQ\n",
       {},
       boot_opening + port_open + "0\nKS360 ready\nBooted with run.bin\nPort closed\n",
       bound({version_call, open_call(), boot_call_of_run, close_call})},
      {"lower case, port not opened",
       "x\nCOM2\nrun.bin\nQ\n",
       {},
       boot_opening + "Error\nPort closed\n",
       bound({version_call, open_call("COM2"), close_call})},
      {"an empty file name",
       "X\n" + usb1 + "\n\nQ\n",
       {},
       boot_opening + port_open + "-1\n\nBoot file not found: \nPort closed\n",
       bound({version_call, open_call(), "_IFWD_DL_boot_bin_target(1, \"\")\n", close_call})},
      {"the boot raises: a failure of the guarded steps",
       "X\n" + usb1 + "\nrun.bin\nQ\n",
       {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_boot_bin_target=throw"}},
       boot_opening + port_open + "Error\nPort closed\n",
       bound({version_call, open_call(), boot_call_of_run, destroyed, close_call})},
  });
}

TEST_F(PhoneTranscript, RestartAndBootStopAtTheirFirstMissingEntryPoint) {
  const std::pair<std::string, std::vector<std::string>> actions[] = {
      {"V",
       {"_IFWD_DL_get_dll_version", "_IFWD_DL_open_comm_port", "_IFWD_DL_get_sw_version_data",
        "_IFWD_DL_force_target_reset", "_IFWD_DL_close_comm_port"}},
      {"X",
       {"_IFWD_DL_get_dll_version", "_IFWD_DL_set_dll_parameter", "_IFWD_DL_open_comm_port",
        "_IFWD_DL_boot_target", "_IFWD_DL_boot_bin_target", "_IFWD_DL_force_target_reset",
        "_IFWD_DL_close_comm_port"}},
  };
  for (const auto& [letter, entry_points] : actions) {
    for (const std::string& entry_point : entry_points) {
      SCOPED_TRACE(letter + " without " + entry_point);
      install_variant_without(entry_point);
      const Session session = run_phone(letter + "\nQ\n");
      EXPECT_EQ(session.output, transcript({"Procedure not found:" + entry_point + "\n"}));
      EXPECT_EQ(calls(), bound({}));
    }
  }
  // Entry points an action does not need may be missing.
  install_variant_without("_IFWD_DL_upload_bin_image");
  EXPECT_EQ(run_phone("V\n" + usb1 + "\npsi.flb\nQ\n").output.find("Procedure not found"),
            std::string::npos);
  remove_library();
  const Session session = run_phone("V\nX\nQ\n");
  EXPECT_EQ(session.output,
            transcript({"Error during the loading DLL\n", "Error during the loading DLL\n"}));
}

TEST_F(ExtendedTransfer, LaterPictureNumbersPrintInHexadecimal) {
  // Without a sec-pack file the transfer ends at the boot; the number format stays all the same.
  write_bytes(work("black.bmp"),
              testing_support::make_bmp({}, [](int, int) { return testing_support::Rgb{}; }));
  std::string input = "M\nP\ny\nn\nn\n" + answers("cal.bin", "missing.flb") + "L\nanim.bin\n";
  for (int frame = 0; frame < 11; ++frame) input += "black.bmp\n";
  const Session session = run_phone(input + "\nQ\n");

  std::string pictures = "Target file (Ex: C:\\LG_poweroff.bin): ";
  for (const char* number : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "a", "b"}) {
    pictures += std::string("Source fileFichier (.bmp) n") + number + " (Press Enter to finish): ";
  }
  const std::string transfer =
      partition_listing + "Choice: " + shown("50", "8000") + send_question + force_question +
      transfer_opening + "Port open... PLUG THE PHONE\nSend of the sec-pack...\n" + closing +
      "Error during the sec-pack sending: Boot file not found: missing.flb\n";
  EXPECT_EQ(session.output, transcript({transfer, pictures}));
  EXPECT_EQ(fs::file_size(work("anim.bin")), 11u * 153'600u);
}
