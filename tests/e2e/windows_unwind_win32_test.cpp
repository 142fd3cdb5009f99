// The guard of every library call against RtlUnwind as Windows has it: EBX, ESI and EDI
// zeroed on its return, where wine restores them. The stand-ins point the program's import
// of RtlUnwind at a routine that does so (KORVANTA_STANDIN_RTLUNWIND=windows); then H, I,
// J, V and X take exceptions and faults of their libraries round after round. Windows
// build only.
#include <gtest/gtest.h>

#include "tests/e2e/phone_fixture.hpp"
#include "tests/support/kdz.hpp"

using namespace phone_testing;
using testing_support::pattern;
using testing_support::transcript;
using testing_support::write_bytes;

TEST_F(PhoneTranscript, LibrariesRaiseAndFaultRoundAfterRoundWithRtlUnwindAsWindowsHasIt) {
  install_every_standin();
  write_bytes(work("fw.kdz"),
              testing_support::kdz_file(testing_support::kdz_layouts[0], {{"a", pattern(4, 1)}}));
  write_bytes(work("fw.cab"), pattern(10, 1));
  write_bytes(work("run.bin"), pattern(10, 2));
  const std::string loading = "Loading...\n";
  struct Letter {
    std::string input;
    std::string printed;
  };
  const Letter letters[] = {
      {"H\nInf_WebDnld.dll\nfw.wdb\nV1\n",
       "Location of DLL (Ex C:\\Inf_WebDnld.dll): File WDB (Ex C:\\V10G.wdb): Version(SW "
       "version) (Ex V10G_04): " +
           loading + "\n"},
      {"I\nfw.kdz\n",
       "File KDZ (Ex C:\\V10G.kdz): " + loading + "Extraction of fw.kdz did not finish\n"},
      {"J\nKS360\nfw.cab\nV1\n",
       "Phone Model (Ex: KS360): File (.CAB) including the firmware (Ex: C:\\V10G_04.cab): "
       "Version(SW version) (Ex: V10G_04): Send the arguments...\n" +
           loading + "dll_StartUpgrade gave up with an exception\n"},
      {"V\n" + usb1 + "\npsi.flb\n",
       version + port_prompt + sec_pack_prompt + loading + "Error\n" + closing},
      {"X\n" + usb1 + "\nrun.bin\n", version + port_prompt + "Exec file\n" + loading +
                                         "Port open... PLUG THE PHONE\nSend of the "
                                         "sec-pack...\nError\nPort closed\n"},
  };
  constexpr int rounds = 4;
  std::string input;
  std::vector<std::string> passes;
  for (int round = 0; round < rounds; ++round) {
    for (const Letter& letter : letters) {
      input += letter.input;
      passes.push_back(letter.printed);
    }
  }
  const Session session = run_phone(
      input + "Q\n",
      {{"KORVANTA_STANDIN_RTLUNWIND", "windows"},
       {"KORVANTA_STANDIN_FAULTS",
        "first_unpack=throw,second_unpack=null,kdz_extraction=throw,dll_StartUpgrade=throw,"
        "_IFWD_DL_get_sw_version_data=throw,_IFWD_DL_boot_bin_target=throw"}},
      std::chrono::seconds(60));
  EXPECT_EQ(session.output, transcript(passes));
}
