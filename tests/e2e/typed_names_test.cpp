// Typed file names that name no file: a NUL character (Ctrl+@ at a terminal, a script)
// would end the name for every file call, so that several names reach one file. Each is
// refused before anything is opened, wherever a name is typed for the program or a
// library to open.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/phone_fixture.hpp"

using namespace phone_testing;

namespace {

const std::string nul(1, '\0');
const std::string refusal = "The typed name holds a NUL character, which no file name may hold.";
const std::string refused = refusal + "\n";

const std::string transfer_prompts = version + port_prompt + sec_pack_prompt + "Data file: ";
const std::string dfat_prompt = "Source file (Ex: C:\\KS360AT_CUST.dfat): ";
const std::string wdb_prompts =
    "Location of DLL (Ex C:\\Inf_WebDnld.dll): File WDB (Ex C:\\V10G.wdb): ";
const std::string cab_prompts =
    "Phone Model (Ex: KS360): File (.CAB) including the firmware (Ex: C:\\V10G_04.cab): ";
const std::string animation_prompt = "Source file (Ex: C:\\LG_poweron.bin): ";
const std::string target_prompt = "Target file (Ex: C:\\LG_poweroff.bin): ";
const std::string first_picture_prompt = "Source fileFichier (.bmp) n0 (Press Enter to finish): ";

std::string loaded(const std::string& library) {
  return "load " + library + "\nunload " + library + "\n";
}

}  // namespace

TEST_F(PhoneTranscript, ANameHoldingANulCharacterIsRefusedBeforeAnythingIsOpened) {
  install_every_standin();
  testing_support::write_bytes(work("one.bin"), random_bytes(153'600, 36));
  const std::string version_only = bound({version_call});
  const std::string upgrade = loaded("LGMUpgradeDL.dll");
  expect_runs({
      {"a send's sec-pack file",
       "N\n" + answers("eep.bin", "psi" + nul + ".flb") + "Q\n",
       {},
       transfer_prompts + refused,
       version_only},
      {"a send's data file",
       "N\n" + answers("eep" + nul + ".bin") + "Q\n",
       {},
       transfer_prompts + refused,
       version_only},
      {"a backup's sec-pack file",
       "O\n" + answers("eep.bin", "psi.flb" + nul) + "Q\n",
       {},
       transfer_prompts + refused,
       version_only},
      {"a backup's data file",
       "O\n" + answers("b." + nul + "bin") + "Q\n",
       {},
       transfer_prompts + refused,
       version_only},
      {"V's sec-pack file",
       "V\n" + usb1 + "\npsi" + nul + ".flb\nQ\n",
       {},
       version + port_prompt + sec_pack_prompt + refused,
       version_only},
      {"X's file",
       "X\n" + usb1 + "\nexec" + nul + ".bin\nQ\n",
       {},
       version + port_prompt + "Exec file\n" + refused,
       version_only},
      {"G's source", "G\ncust" + nul + ".dfat\nQ\n", {}, dfat_prompt + refused, ""},
      {"G's target",
       "G\npsi.flb\nt" + nul + ".fat\nQ\n",
       {},
       dfat_prompt + "Target file (Ex: C:\\KS360.fat): " + refused,
       ""},
      {"H's library",
       "H\nInf_WebDnld.dll" + nul + "x\nQ\n",
       {},
       "Location of DLL (Ex C:\\Inf_WebDnld.dll): " + refused,
       ""},
      {"H's package",
       "H\nInf_WebDnld.dll\nv" + nul + ".wdb\nQ\n",
       {},
       wdb_prompts + refused,
       loaded("Inf_WebDnld.dll")},
      {"I's package",
       "I\nv" + nul + ".kdz\nQ\n",
       {},
       "File KDZ (Ex C:\\V10G.kdz): " + refused,
       upgrade},
      {"J's package", "J\nKS360\nv" + nul + ".cab\nQ\n", {}, cab_prompts + refused, upgrade},
      {"K's source", "K\na" + nul + ".bin\nQ\n", {}, animation_prompt + refused, ""},
      {"K's prefix",
       "K\none.bin\npk" + nul + "\nQ\n",
       {},
       animation_prompt + "Target file (Ex: C\\image): " + refused,
       ""},
      {"L's target", "L\nanim" + nul + ".bin\nQ\n", {}, target_prompt + refused, ""},
      {"L's picture, asked again",
       "L\nanim.bin\nwhite" + nul + ".bmp\n\nQ\n",
       {},
       target_prompt + first_picture_prompt + "Error: " + refusal + " Please try again\n" +
           first_picture_prompt,
       ""},
  });
  // What the names written to would have been, cut at the NUL.
  for (const char* cut : {"b.", "t", "pk", "anim"}) {
    EXPECT_FALSE(std::filesystem::exists(work(cut))) << cut << " was written";
  }
}
