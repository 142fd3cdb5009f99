// Letters H, I and J against the stand-ins of the phone maker's libraries: whole
// transcripts, the stand-ins' call logs and the files written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/kdz.hpp"
#include "tests/support/transcript.hpp"

using testing_support::Bytes;
using testing_support::Environment;
using testing_support::kdz_file;
using testing_support::kdz_layouts;
using testing_support::KdzLayout;
using testing_support::PackedFile;
using testing_support::pattern;
using testing_support::read_bytes;
using testing_support::read_text;
using testing_support::Session;
using testing_support::transcript;
using testing_support::TranscriptTest;
using testing_support::write_bytes;

namespace fs = std::filesystem;

namespace {

const std::string location_prompt = "Location of DLL (Ex C:\\Inf_WebDnld.dll): ";
const std::string wdb_prompts =
    location_prompt + "File WDB (Ex C:\\V10G.wdb): Version(SW version) (Ex V10G_04): ";
const std::string kdz_prompt = "File KDZ (Ex C:\\V10G.kdz): ";
const std::string cab_prompts =
    "Phone Model (Ex: KS360): File (.CAB) including the firmware (Ex: C:\\V10G_04.cab): "
    "Version(SW version) (Ex: V10G_04): ";
const std::string loading = "Loading...\n";
const std::string cab_run = cab_prompts + "Send the arguments...\n" + loading;

const std::string web_download = "Inf_WebDnld.dll";
// What a stand-in told to throw logs after its call: the clean-up of its own frame as the
// exception unwinds it, then the thrown object's destruction by whoever caught it.
std::string raised(const std::string& routine) {
  return routine + " cleaned up on the way out\nexception object destroyed\n";
}
const std::string upgrade = "LGMUpgradeDL.dll";

std::string repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

std::string quoted(const std::string& text) {
  return '"' + text + '"';
}

// What a stand-in logs for its loading and release around the calls in between.
std::string loaded(const std::string& library, const std::string& calls = "") {
  return "load " + library + "\n" + calls + "unload " + library + "\n";
}

// The log lines of one unpack routine: its call, then what it made of the package when
// it was left to finish ("" when it faulted or raised).
std::string unpack_call(const std::string& routine, const std::string& arguments,
                        const std::string& outcome) {
  return routine + "(" + arguments + ")\n" + (outcome.empty() ? "" : routine + outcome + "\n");
}

// The SetParam line for the fixed list with these three answers.
std::string set_param_call(const std::string& cab, const std::string& version,
                           const std::string& model) {
  const std::vector<std::string> texts = {"QM", "IDX", "E", "US",  "?", "?",     "?",
                                          "?",  "?",   "?", "?",   cab, version, model,
                                          "?",  "?",   "Y", "B2B", "?", "?",     "?"};
  std::string line = "SetParam(";
  for (std::size_t i = 0; i < texts.size(); ++i) line += (i ? ", " : "") + quoted(texts[i]);
  return line + ")\n";
}

class UpgradeTranscript : public TranscriptTest {
 protected:
  Session run_with(const std::string& input, const std::string& faults = "") {
    return run(input, {{"KORVANTA_STANDIN_LOG", work("calls.log").string()},
                       {"KORVANTA_STANDIN_FAULTS", faults},
                       {"KORVANTA_VIRTUAL_PHONE", work("phone").string()}});
  }
  std::string calls() const {
    return fs::exists(work("calls.log")) ? read_text(work("calls.log")) : "";
  }
  void clear_calls() const { fs::remove(work("calls.log")); }
};

}  // namespace

// ---- H: WDB extraction ------------------------------------------------------------

TEST_F(UpgradeTranscript, WdbRunPrintsLoadingAndOneEmptyLineAfterBothRoutines) {
  install_library(web_download);
  write_bytes(work("fw.wdb"), pattern(12, 1));
  const Session session = run_with("H\nInf_WebDnld.dll\nfw.wdb\nV10G_04\nQ\n");
  EXPECT_EQ(session.output, transcript({wdb_prompts + loading + "\n"}));
  EXPECT_EQ(session.exit_status, 0);
  const std::string arguments = R"("Inf_WebDnld.dll", "fw.wdb", "V10G_04", "BIN", "")";
  EXPECT_EQ(calls(),
            loaded(web_download, unpack_call("first_unpack", arguments,
                                             ": WDB file of 12 bytes, version V10G_04") +
                                     unpack_call("second_unpack", arguments,
                                                 ": WDB file of 12 bytes, version V10G_04")));
}

TEST_F(UpgradeTranscript, WdbRoutinesGetTheLibraryPathAsTypedAndEmptyAnswers) {
  // Not beside the program: only the typed path, blank included, finds it.
  fs::create_directory(work("vendor libs"));
  fs::copy_file(testing_support::built_folder() / web_download, work("vendor libs") / web_download);
  const Session session = run_with("H\nvendor libs/Inf_WebDnld.dll\n\n\nQ\n");
  EXPECT_EQ(session.output, transcript({wdb_prompts + loading + "\n"}));
  const std::string arguments = R"("vendor libs/Inf_WebDnld.dll", "", "", "BIN", "")";
  EXPECT_EQ(calls(), loaded(web_download,
                            unpack_call("first_unpack", arguments, ": WDB file not found") +
                                unpack_call("second_unpack", arguments, ": WDB file not found")));
}

TEST_F(UpgradeTranscript, WdbBindingFailuresAreReportedBeforeTheOtherPrompts) {
  struct Case {
    const char* name;
    std::string library;  // installed beside the program, "" for none
    std::string typed;
    std::string report;
    std::string calls;
  };
  const std::vector<Case> cases = {
      {"no library", "", "Inf_WebDnld.dll", "Error during the loading DLL", ""},
      {"wrong path", web_download, "nowhere/Inf_WebDnld.dll", "Error during the loading DLL", ""},
      {"empty path", web_download, "", "Error during the loading DLL", ""},
      {"no _StartUpgrade", "variants/no_start_upgrade/" + web_download, "Inf_WebDnld.dll",
       "Procedure not found:_StartUpgrade", loaded(web_download)},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    fs::remove(program_folder() / web_download);
    if (!test.library.empty()) install_library(test.library);
    clear_calls();
    const Session session = run_with("H\n" + test.typed + "\nQ\n");
    EXPECT_EQ(session.output, transcript({location_prompt + test.report + "\n"}));
    EXPECT_EQ(calls(), test.calls);
  }
}

TEST_F(UpgradeTranscript, WdbRoutineThatFailsDoesNotStopTheAction) {
  install_library(web_download);
  write_bytes(work("fw.wdb"), pattern(3, 1));
  const std::string arguments = R"("Inf_WebDnld.dll", "fw.wdb", "V1", "BIN", "")";
  // What a routine logs after its call, by the way it was told to go wrong ("" for none).
  const auto outcome = [](const std::string& routine, const std::string& mode) {
    const std::string found = routine + ": WDB file of 3 bytes, version V1\n";
    if (mode == "null") return std::string();
    if (mode == "throw") return raised(routine);
    if (mode == "fail") return routine + " failed\n";
    if (mode == "handled") return routine + " handled a fault of its own\n" + found;
    return found;
  };
  struct Case {
    std::string first;
    std::string second;
  };
  const std::vector<Case> cases = {
      {"null", ""},  {"throw", ""},     {"fail", ""},      {"handled", ""},        {"", "null"},
      {"", "throw"}, {"null", "throw"}, {"throw", "null"}, {"handled", "handled"},
  };
  for (const Case& test : cases) {
    std::string faults;
    if (!test.first.empty()) faults = "first_unpack=" + test.first;
    if (!test.second.empty())
      faults += (faults.empty() ? "" : ",") + std::string("second_unpack=") + test.second;
    SCOPED_TRACE(faults);
    clear_calls();
    const Session session = run_with("H\nInf_WebDnld.dll\nfw.wdb\nV1\nQ\n", faults);
    EXPECT_EQ(session.output, transcript({wdb_prompts + loading + "\n"}));
    EXPECT_EQ(session.exit_status, 0);
    EXPECT_EQ(calls(),
              loaded(web_download, "first_unpack(" + arguments + ")\n" +
                                       outcome("first_unpack", test.first) + "second_unpack(" +
                                       arguments + ")\n" + outcome("second_unpack", test.second)));
  }
}

TEST_F(UpgradeTranscript, TenFaultingWdbRunsInARowAndTheMenuGoesOn) {
  install_library(web_download);
  const Session session = run_with(repeated("H\nInf_WebDnld.dll\nfw.wdb\nV1\n", 10) + "W\nQ\n",
                                   "first_unpack=null,second_unpack=null");
  std::vector<std::string> passes(10, wdb_prompts + loading + "\n");
  passes.push_back("Invalid choice\n");
  EXPECT_EQ(session.output, transcript(passes));
  EXPECT_EQ(session.exit_status, 0);
  const std::string arguments = R"("Inf_WebDnld.dll", "fw.wdb", "V1", "BIN", "")";
  EXPECT_EQ(calls(), repeated(loaded(web_download, unpack_call("first_unpack", arguments, "") +
                                                       unpack_call("second_unpack", arguments, "")),
                              10));
}

TEST_F(UpgradeTranscript, TenRoundsOfHAndIWithFaultsAndExceptionsEndWithStatusZero) {
  install_library(web_download);
  install_library(upgrade);
  write_bytes(work("fw.kdz"), kdz_file(kdz_layouts[0], {{"a", pattern(4, 1)}}));
  const Session session =
      run_with(repeated("H\nInf_WebDnld.dll\nfw.wdb\nV1\nI\nfw.kdz\n", 10) + "Q\n",
               "first_unpack=throw,second_unpack=null,kdz_extraction=throw");
  std::vector<std::string> passes;
  for (int round = 0; round < 10; ++round) {
    passes.push_back(wdb_prompts + loading + "\n");
    passes.push_back(kdz_prompt + loading + "Extraction of fw.kdz did not finish\n");
  }
  EXPECT_EQ(session.output, transcript(passes));
  EXPECT_EQ(session.exit_status, 0);
  const std::string arguments = R"("Inf_WebDnld.dll", "fw.wdb", "V1", "BIN", "")";
  EXPECT_EQ(
      calls(),
      repeated(loaded(web_download, "first_unpack(" + arguments + ")\n" + raised("first_unpack") +
                                        "second_unpack(" + arguments + ")\n") +
                   loaded(upgrade, "kdz_extraction(\"fw.kdz\")\n" + raised("kdz_extraction")),
               10));
}

// ---- I: KDZ extraction ------------------------------------------------------------

TEST_F(UpgradeTranscript, KdzOfEachLayoutIsUnpackedBesideIt) {
  install_library(upgrade);
  const std::vector<PackedFile> files = {{"modem.bin", pattern(3000, 5)},
                                         {"boot loader.img", pattern(17, 8)}};
  for (const KdzLayout& layout : kdz_layouts) {
    SCOPED_TRACE(layout.name);
    clear_calls();
    fs::remove_all(work("fw_extracted"));
    write_bytes(work("fw.kdz"), kdz_file(layout, files));
    const Session session = run_with("I\nfw.kdz\nQ\n");
    EXPECT_EQ(session.output,
              transcript({kdz_prompt + loading +
                          "Wrote 2 files into fw_extracted: modem.bin (3000 bytes), boot "
                          "loader.img (17 bytes)\n"}));
    for (const PackedFile& file : files) {
      EXPECT_EQ(read_bytes(work("fw_extracted") / file.name), file.contents);
    }
    EXPECT_EQ(calls(), loaded(upgrade, "kdz_extraction(\"fw.kdz\")\n"));
  }
}

TEST_F(UpgradeTranscript, KdzResultTextsOfBrokenPackagesAndTheMenuGoesOn) {
  install_library(upgrade);
  Bytes lying = kdz_file(kdz_layouts[1], {{"a.bin", pattern(10, 1)}});
  lying.resize(lying.size() - 4);
  write_bytes(work("lying.kdz"), lying);
  write_bytes(work("short.kdz"), Bytes{0x18, 0x05});
  const Session session = run_with("I\nlying.kdz\nI\nshort.kdz\nI\n\nI\nmissing.kdz\nQ\n");
  EXPECT_EQ(session.output,
            transcript({kdz_prompt + loading +
                            "Record 1 (\"a.bin\") lies outside the file: offset 1320, size 10, "
                            "file size 1326\n",
                        kdz_prompt + loading + "The KDZ file is too short for a header: 2 bytes\n",
                        kdz_prompt + loading + "Cannot open the KDZ file \n",
                        kdz_prompt + loading + "Cannot open the KDZ file missing.kdz\n"}));
  EXPECT_FALSE(fs::exists(work("lying_extracted")));
  EXPECT_EQ(calls(), loaded(upgrade, "kdz_extraction(\"lying.kdz\")\n") +
                         loaded(upgrade, "kdz_extraction(\"short.kdz\")\n") +
                         loaded(upgrade, "kdz_extraction(\"\")\n") +
                         loaded(upgrade, "kdz_extraction(\"missing.kdz\")\n"));
}

TEST_F(UpgradeTranscript, KdzEntryThatFailsLeavesItsResultTextPrinted) {
  install_library(upgrade);
  write_bytes(work("fw.kdz"), kdz_file(kdz_layouts[0], {{"a", pattern(4, 1)}}));
  struct Case {
    std::string faults;
    std::string result;
    std::string outcome;  // logged after the call
  };
  const std::vector<Case> cases = {
      {"kdz_extraction=null", "Extraction of fw.kdz did not finish", ""},
      {"kdz_extraction=throw", "Extraction of fw.kdz did not finish", raised("kdz_extraction")},
      {"kdz_extraction=fail", "Extraction of fw.kdz failed", ""},
      // A fault the entry handles itself is the entry's own: the extraction goes on.
      {"kdz_extraction=handled", "Wrote 1 file into fw_extracted: a (4 bytes)",
       "kdz_extraction handled a fault of its own\n"},
      // An entry that returns its text by value, in a buffer of the library's own manager:
      // the text must be the program's before the library is released.
      {"kdz_extraction=by_value", "Wrote 1 file into fw_extracted: a (4 bytes)", ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.faults);
    clear_calls();
    fs::remove_all(work("fw_extracted"));
    const Session session = run_with(repeated("I\nfw.kdz\n", 10) + "Q\n", test.faults);
    EXPECT_EQ(session.output,
              transcript(std::vector<std::string>(10, kdz_prompt + loading + test.result + "\n")));
    EXPECT_EQ(session.exit_status, 0);
    EXPECT_EQ(calls(),
              repeated(loaded(upgrade, "kdz_extraction(\"fw.kdz\")\n" + test.outcome), 10));
    EXPECT_EQ(fs::exists(work("fw_extracted")), test.result.starts_with("Wrote"));
  }
}

// ---- Binding failures of I and J --------------------------------------------------

TEST_F(UpgradeTranscript, UpgradeLibraryBindingFailuresComeBeforeAnyPrompt) {
  struct Case {
    const char* name;
    std::string input;
    std::string library;  // installed beside the program, "" for none
    std::string report;
  };
  const std::vector<Case> cases = {
      {"I, no library", "I\n", "", "Error during the loading DLL"},
      {"I, no dll_StartUpgrade", "I\n", "variants/no_start_upgrade/" + upgrade,
       "Procedure not found:dll_StartUpgrade"},
      {"I, no exports", "I\n", "variants/no_exports/" + upgrade,
       "Procedure not found:dll_StartUpgrade"},
      {"J, no library", "J\n", "", "Error during the loading DLL"},
      {"J, no dll_StartUpgrade", "J\n", "variants/no_start_upgrade/" + upgrade,
       "Procedure not found:dll_StartUpgrade"},
      {"J, no SetParam", "J\n", "variants/no_set_param/" + upgrade, "Procedure not found:SetParam"},
      {"J, neither: dll_StartUpgrade is looked up first", "J\n", "variants/no_exports/" + upgrade,
       "Procedure not found:dll_StartUpgrade"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    fs::remove(program_folder() / upgrade);
    if (!test.library.empty()) install_library(test.library);
    clear_calls();
    const Session session = run_with(test.input + "Q\n");
    EXPECT_EQ(session.output, transcript({test.report + "\n"}));
    EXPECT_EQ(calls(), test.library.empty() ? "" : loaded(upgrade));
  }
}

// ---- J: assistant flashing --------------------------------------------------------

TEST_F(UpgradeTranscript, CabRunHandsTheListToSetParamThenStartsTheUpgrade) {
  install_library(upgrade);
  const Bytes cab = pattern(40000, 3);
  write_bytes(work("fw 04.cab"), cab);
  const Session session = run_with("J\nKS360\nfw 04.cab\nV10G_04\nQ\n");
  EXPECT_EQ(session.output, transcript({cab_run}));
  EXPECT_EQ(session.exit_status, 0);
  EXPECT_EQ(calls(), loaded(upgrade, set_param_call("fw 04.cab", "V10G_04", "KS360") +
                                         "dll_StartUpgrade()\n"
                                         "flashed 40000 bytes from \"fw 04.cab\" on a \"KS360\" "
                                         "to version \"V10G_04\"\n"));
  EXPECT_EQ(read_bytes(work("phone") / "assistant-upgrade.bin"), cab);
}

TEST_F(UpgradeTranscript, EachCabRunOverwritesTheThreeAnswersOnly) {
  install_library(upgrade);
  const Session session =
      run_with("J\nKS360\nnone.cab\nV1\nJ\n\n\n\nj\n  model x \nC:\\a.cab\nV2 \nQ\n");
  EXPECT_EQ(session.output, transcript({cab_run, cab_run, cab_run}));
  const std::string refused = "dll_StartUpgrade()\nupgrade refused: CAB file ";
  EXPECT_EQ(calls(),
            loaded(upgrade, set_param_call("none.cab", "V1", "KS360") + refused +
                                "\"none.cab\" not found\n") +
                loaded(upgrade, set_param_call("", "", "") + refused + "\"\" not found\n") +
                loaded(upgrade, set_param_call("C:\\a.cab", "V2 ", "  model x ") + refused +
                                    "\"C:\\a.cab\" not found\n"));
}

TEST_F(UpgradeTranscript, WhatTheUpgradeRaisesReachesTheMenuAndTheLibraryIsReleased) {
  install_library(upgrade);
  write_bytes(work("fw.cab"), pattern(10, 1));
  struct Case {
    std::string faults;
    std::string report;   // printed by the menu after "Loading..."
    std::string outcome;  // logged after dll_StartUpgrade()
  };
  const std::string flashed = "flashed 10 bytes from \"fw.cab\" on a \"KS360\" to version \"V1\"\n";
  const std::vector<Case> cases = {
      {"dll_StartUpgrade=throw", "dll_StartUpgrade gave up with an exception\n",
       raised("dll_StartUpgrade")},
      {"dll_StartUpgrade=fail", "", "upgrade failed\n"},
      {"dll_StartUpgrade=handled", "", "dll_StartUpgrade handled a fault of its own\n" + flashed},
      {"SetParam=fail", "", "upgrade refused: no parameters set\n"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.faults);
    clear_calls();
    const Session session = run_with("J\nKS360\nfw.cab\nV1\nQ\n", test.faults);
    EXPECT_EQ(session.output, transcript({cab_run + test.report}));
    EXPECT_EQ(calls(), loaded(upgrade, set_param_call("fw.cab", "V1", "KS360") +
                                           "dll_StartUpgrade()\n" + test.outcome));
  }
}

// What the library raises is reported by the menu after the library is released: the
// report must not depend on the library's code (on Windows its exception objects live in
// the library's image), so a released library still gives its text.
TEST_F(UpgradeTranscript, WhatSetParamRaisesIsReportedWithoutStartingTheUpgrade) {
  install_library(upgrade);
  write_bytes(work("fw.cab"), pattern(10, 1));
  const Session session =
      run_with("J\nKS360\nfw.cab\nV1\nj\nKS360\nfw.cab\nV1\nQ\n", "SetParam=throw");
  const std::string refused =
      cab_prompts + "Send the arguments...\nSetParam gave up with an exception\n";
  EXPECT_EQ(session.output, transcript({refused, refused}));
  EXPECT_EQ(session.exit_status, 0);
  EXPECT_EQ(
      calls(),
      repeated(loaded(upgrade, set_param_call("fw.cab", "V1", "KS360") + raised("SetParam")), 2));
}

// ---- Where the libraries are looked for -------------------------------------------

TEST_F(UpgradeTranscript, ALibraryPlantedInTheCurrentFolderIsNeverLoaded) {
  // The folder the program works in, not its own: anybody may have put files there.
  for (const std::string& library : {std::string("IFWD_DownloadDll.dll"), upgrade}) {
    fs::copy_file(testing_support::built_folder() / library, work(library));
  }
  const Session session = run_with("V\nI\nJ\nQ\n");
  const std::string refused = "Error during the loading DLL\n";
  EXPECT_EQ(session.output, transcript({refused, refused, refused}));
  EXPECT_EQ(calls(), "");
}
