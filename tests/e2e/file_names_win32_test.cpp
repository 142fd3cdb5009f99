// Names that reach a file in more ways on Windows than on Linux: another drive letter for
// the same folder, letters that only the ANSI code page holds, and device names. Built
// into the Windows build's transcript tests only; run under wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "tests/e2e/phone_fixture.hpp"
#include "tests/support/bmp.hpp"
#include "tests/support/dfat_container.hpp"

using namespace phone_testing;
using testing_support::read_bytes;
using testing_support::transcript;
using testing_support::write_bytes;

namespace {

const std::string psi_prompt = "Sec-pack file(Ex: C:\\KS360_psi.flb): ";
const std::string g_prompts =
    "Source file (Ex: C:\\KS360AT_CUST.dfat): Target file (Ex: C:\\KS360.fat): ";
const std::string k_prompts = "Source file (Ex: C:\\LG_poweron.bin): Target file (Ex: C\\image): ";
const std::string g_refused = "Target file is the source file: choose another target\n";
const std::string partition_choice =
    "Choice: Offset: 0x544fc000\nSize: 0x8000\nValid?Send?(Y/O/1): Force?(Y/O/1): ";

// "cœur": œ is byte 9C in the ANSI code page 1252 and U+009C, a control, in Latin-1.
const std::string coeur = "c\x9Cur";

std::string refused_sec_pack(const std::string& sec_pack) {
  return version + port_prompt + sec_pack_prompt +
         "Data file: " + "The backup would overwrite the sec-pack file " + sec_pack +
         ": choose another data file\n";
}

std::string refused_picture(const std::string& picture, const std::string& source) {
  return k_prompts + "The picture " + picture + " would replace the source file " + source +
         ": choose another prefix.\n";
}

std::string device(const std::string& name) {
  return "The name '" + name + "' stands for a device, not a file.";
}

class WindowsFileNames : public PhoneTranscript {
 protected:
  // A file of the work folder named by ANSI bytes, written and read through the C runtime,
  // as the program opens it.
  std::string at(const std::string& name) const { return work().string() + "\\" + name; }
  void write_file(const std::string& name, const Bytes& bytes) const {
    std::FILE* file = std::fopen(at(name).c_str(), "wb");
    ASSERT_NE(file, nullptr) << name;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  Bytes read_file(const std::string& name) const {
    Bytes bytes;
    std::FILE* file = std::fopen(at(name).c_str(), "rb");
    if (!file) return {'m', 'i', 's', 's', 'i', 'n', 'g'};
    for (int byte; (byte = std::fgetc(file)) != EOF;)
      bytes.push_back(static_cast<std::uint8_t>(byte));
    std::fclose(file);
    return bytes;
  }

  // The work folder through another drive letter. wine shows the Linux file system as Z:,
  // so a folder of the C: drive is also Z: followed by its Linux path: one folder under two
  // drive letters, as a SUBST, mapped or mounted drive gives on Windows.
  std::string work_through_another_drive() const {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unix_name = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unix_name) return {};
    char* name = unix_name(work().wstring().c_str());
    if (!name) return {};
    std::string path = std::string("Z:") + name;
    HeapFree(GetProcessHeap(), 0, name);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
  }

  // STATIC_EEP's row of M, confirmed.
  static std::string eep_row() { return "M\nA\ny\n"; }
};

const std::string partition_listing_end = "P\tCAL_BACKUP\t0x00000050\t0x00008000\nZ\tOTHER\n";

std::string without_listing(const std::string& output) {
  // The listing of M is checked by the Linux tests; here only what follows it counts.
  std::string rest = output;
  for (std::size_t at; (at = rest.find("ID\tNAME")) != std::string::npos;) {
    const std::size_t end = rest.find(partition_listing_end, at);
    if (end == std::string::npos) break;
    rest.erase(at, end + partition_listing_end.size() - at);
  }
  return rest;
}

}  // namespace

TEST_F(WindowsFileNames, NoGuardIsGotPastThroughAnotherDriveLetter) {
  const std::string other = work_through_another_drive();
  ASSERT_FALSE(other.empty()) << "wine_get_unix_file_name: these tests run under wine";
  ASSERT_NE(std::toupper(work().string()[0]), 'Z') << "the work folder needs a drive besides Z:";
  const Bytes container = [] {
    Bytes bytes;
    testing_support::add_image_section(bytes, testing_support::image_bytes(1000));
    return bytes;
  }();
  const Bytes animation = random_bytes(2 * 153'600, 21);
  write_file("cust.dfat", container);
  write_file("k0.bmp", animation);

  const Session session = run_phone("O\n" + answers(other + "\\PSI.FLB") + "G\ncust.dfat\n" +
                                    other + "\\cust.dfat\nK\nk0.bmp\n" + other + "\\k\nQ\n");
  EXPECT_EQ(session.output, transcript({refused_sec_pack("psi.flb"), g_prompts + g_refused,
                                        refused_picture(other + "\\k0.bmp", "k0.bmp")}));
  EXPECT_EQ(read_file("psi.flb"), Bytes(64, 0x11));
  EXPECT_EQ(read_file("cust.dfat"), container);
  EXPECT_EQ(read_file("k0.bmp"), animation);
}

TEST_F(WindowsFileNames, NamesWithAnsiOnlyLettersReachTheFileTheTechnicianMeant) {
  ASSERT_TRUE(CreateDirectoryA(at(coeur).c_str(), nullptr));
  const std::string folder = coeur + "\\";
  const std::string again = "..\\work\\" + coeur + "\\";  // the same folder, spelled otherwise
  const Bytes image = testing_support::image_bytes(1000);
  Bytes container;
  testing_support::add_image_section(container, image);
  const Bytes animation = random_bytes(2 * 153'600, 22);
  const Bytes earlier_backup = random_bytes(300, 23);
  write_file(folder + "psi.flb", Bytes(64, 0x44));
  write_file(folder + "cust.dfat", container);
  write_file(folder + "k0.bmp", animation);
  write_file(coeur + ".bin", earlier_backup);

  const Session session = run_phone(
      "O\n" + answers(again + "PSI.FLB", folder + "psi.flb") + "G\n" + folder + "cust.dfat\n" +
      again + "cust.dfat\nK\n" + folder + "k0.bmp\n" + again + "k\n" + "G\n" + folder +
      "cust.dfat\n" + coeur + ".fat\n" + eep_row() + "n\ny\n" + answers(coeur + ".bin") + "Q\n");
  EXPECT_EQ(
      without_listing(session.output),
      transcript({refused_sec_pack(folder + "psi.flb"), g_prompts + g_refused,
                  refused_picture(again + "k0.bmp", folder + "k0.bmp"), g_prompts + "Loading...\n",
                  partition_choice + transfer_opening + booted + receiving + closing}));
  EXPECT_EQ(read_file(folder + "psi.flb"), Bytes(64, 0x44));
  EXPECT_EQ(read_file(folder + "cust.dfat"), container);
  EXPECT_EQ(read_file(folder + "k0.bmp"), animation);
  EXPECT_EQ(read_file(coeur + ".fat"), image) << "G reads a source named with œ";
  EXPECT_EQ(read_file(coeur + ".bin"), Bytes(0x8000, 0xFF)) << "the forced backup's pages";
}

TEST_F(WindowsFileNames, DeviceNamesAreRefusedBeforeAnythingIsOpened) {
  write_bytes(work("white.bmp"), testing_support::make_bmp({}, [](int, int) {
                return testing_support::Rgb{255, 255, 255};
              }));
  write_bytes(work("two.bin"), random_bytes(2 * 153'600, 24));
  const std::string target_prompt = "Target file (Ex: C:\\LG_poweroff.bin): ";
  const auto picture_prompt = [](int number) {
    return "Source fileFichier (.bmp) n" + std::to_string(number) + " (Press Enter to finish): ";
  };
  const auto retry = [](const std::string& text) {
    return "Error: " + text + " Please try again\n";
  };
  const std::string transfer_prompts = version + port_prompt + psi_prompt + "Data file: ";
  const Session session = run_phone(
      "L\naux.bin\nL\nCOM1\nL\nanim.bin\nnul.bin\nCON\nwhite.bmp\n\nO\n" + answers("aux.bin") +
          "O\n" + answers("data.bin", "con") + "K\ntwo.bin\ncom\nQ\n",
      {}, std::chrono::seconds(60));
  EXPECT_FALSE(session.timed_out) << "nothing waits on a device";
  EXPECT_EQ(
      session.output,
      transcript({target_prompt + device("aux.bin") + "\n", target_prompt + device("COM1") + "\n",
                  target_prompt + picture_prompt(0) + retry(device("nul.bin")) + picture_prompt(0) +
                      retry(device("CON")) + picture_prompt(0) + picture_prompt(1),
                  transfer_prompts + device("aux.bin") + "\n",
                  transfer_prompts + device("con") + "\n", k_prompts + device("com1.bmp") + "\n"}));
  EXPECT_EQ(calls(), bound({version_call}) + bound({version_call}))
      << "no port is opened for a device's name";
  EXPECT_EQ(read_bytes(work("anim.bin")).size(), 153'600u);
  EXPECT_FALSE(std::filesystem::exists(work("com0.bmp"))) << "K refuses before its first picture";
}
