// The technician's guide (docs/guide.txt, GUIDE.txt in the release archive) against the
// program run with the stand-ins: the menu it shows, the letters it describes, the prompts
// it quotes and the lines it explains. Neither may change without the other.
#include "tests/support/guide.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>

#include "tests/e2e/phone_fixture.hpp"
#include "tests/support/bmp.hpp"
#include "tests/support/dfat_container.hpp"

using namespace phone_testing;
using testing_support::banner;
using testing_support::fits_pattern;
using testing_support::Guide;
using testing_support::GuideLetters;
using testing_support::menu;
using testing_support::read_bytes;
using testing_support::text_lines;
using testing_support::write_bytes;

namespace {

const Guide& guide() {
  static const Guide read = testing_support::read_guide();
  return read;
}

// The guide's words on a letter: its heading and prompts.
const GuideLetters* guide_entry(char letter) {
  for (const GuideLetters& entry : guide().letters) {
    if (entry.letters.find(letter) != std::string::npos) return &entry;
  }
  return nullptr;
}

// A letter, the answers typed after it and the stand-ins' controls. The good run of a
// letter goes as far as the letter goes, with one answer for each prompt the guide quotes.
struct LetterRun {
  char letter;
  std::vector<std::string> answers;
  Environment controls = {};
};

std::vector<LetterRun> letter_runs() {
  const std::vector<std::string> send{usb1, "psi.flb", "part.bin"};
  const std::vector<std::string> backup{usb1, "psi.flb", "back.bin"};
  // Every prompt comes before the upload, which is refused: no raw file of up to 192 MB.
  const Environment refused{{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_upload_bin_image=fail"}};
  return {
      {'A', send},
      {'C', send},
      {'E', send},
      {'N', send},
      {'B', backup, refused},
      {'D', backup, refused},
      {'F', backup, refused},
      {'O', {usb1, "psi.flb", "eep.bin"}},
      {'G', {"cust.dfat", "cust.fat"}},
      {'H', {"Inf_WebDnld.dll", "fw.wdb", "V10G_04"}},
      {'I', {"fw.kdz"}},
      {'J', {"KS360", "fw.cab", "V10G_04"}},
      {'K', {"anim.bin", "out"}},
      {'L', {"made.bin", "pic0.bmp", "pic1.bmp", ""}},
      {'M', {"Z", "544fc000", "8000", "Y", "N", "N", usb1, "psi.flb", "eep.bin"}},
      {'V', {usb1, "psi.flb"}},
      {'X', {usb1, "psi.flb"}},
  };
}

std::optional<LetterRun> letter_run(char letter) {
  for (const LetterRun& run : letter_runs()) {
    if (run.letter == letter) return run;
  }
  return std::nullopt;
}

// A printed line as it reads once the prompts in front of it are taken off, prompt by
// prompt: the line itself first.
std::vector<std::string> without_prompts(std::string line, const GuideLetters& entry) {
  std::vector<std::string> forms{line};
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (const auto& prompt : entry.prompts) {
      if (!prompt.text.empty() && line.starts_with(prompt.text)) {
        line.erase(0, prompt.text.size());
        forms.push_back(line);
        stripped = true;
      }
    }
  }
  return forms;
}

bool quoted_in_guide(const std::vector<std::string>& forms) {
  if (forms.back().empty()) return true;  // prompts alone
  return std::any_of(forms.begin(), forms.end(), [](const std::string& form) {
    return std::any_of(guide().quoted.begin(), guide().quoted.end(),
                       [&](const std::string& quote) { return fits_pattern(quote, form); });
  });
}

class GuideTranscript : public PhoneTranscript {
 protected:
  GuideTranscript() {
    install_every_standin();
    write_bytes(work("part.bin"), random_bytes(5000, 1));
    Bytes dfat;
    testing_support::add_image_section(dfat, testing_support::image_bytes(100));
    write_bytes(work("cust.dfat"), dfat);
    Bytes chain_end;
    testing_support::add_section(chain_end, 2, 12);
    write_bytes(work("end.dfat"), chain_end);
    write_bytes(work("anim.bin"), random_bytes(153'600, 2));
    for (const char* name : {"pic0.bmp", "pic1.bmp"}) {
      write_bytes(work(name), testing_support::make_bmp({}, [](int x, int y) {
                    return testing_support::Rgb{static_cast<std::uint8_t>(x),
                                                static_cast<std::uint8_t>(y), 0};
                  }));
    }
  }

  // The letter, its answers and what follows them, against the stand-ins.
  Session run_letter(const LetterRun& run, const std::string& after) {
    std::string input(1, run.letter);
    input += '\n';
    for (const std::string& answer : run.answers) input += answer + "\n";
    return run_phone(input + after, run.controls);
  }

  // What the letter printed in its one pass, when it took exactly the answers it was
  // given: the menu then refuses the "?" after them, and "Q" ends the run.
  std::optional<std::string> pass_taking_every_answer(const LetterRun& run) {
    const std::string output = run_letter(run, "?\nQ\n").output;
    const std::string start = banner + menu + "Choice: ";
    const std::string end = "\n" + menu + "Choice: Invalid choice\n\n" + menu + "Choice: \n";
    if (output.size() < start.size() + end.size() || !output.starts_with(start) ||
        !output.ends_with(end)) {
      return std::nullopt;
    }
    std::string pass = output.substr(start.size(), output.size() - start.size() - end.size());
    if (pass.find(menu) != std::string::npos) return std::nullopt;
    return pass;
  }

  // The lines the letter printed in its first pass.
  std::vector<std::string> first_pass_lines(const LetterRun& run) {
    const std::string output = run_letter(run, "Q\n").output;
    const std::string start = banner + menu + "Choice: ";
    if (!output.starts_with(start)) return {};
    return text_lines(output.substr(start.size(), output.find(menu, start.size()) - start.size()));
  }
};

}  // namespace

TEST(Guide, IsPlainTextWithWindowsLineEndsThatNotepadShowsWhole) {
  const Bytes text = read_bytes(testing_support::guide_file());
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n') << "the last line has its line end";
  std::size_t line = 1;
  std::size_t width = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const std::uint8_t byte = text[at];
    if (byte == '\r' || byte == '\n') {
      const bool crlf = byte == '\r' ? at + 1 < text.size() && text[at + 1] == '\n'
                                     : at > 0 && text[at - 1] == '\r';
      EXPECT_TRUE(crlf) << "line " << line << " ends in a bare " << (byte == '\r' ? "CR" : "LF");
      if (byte == '\n') {
        EXPECT_LE(width, 78u) << "line " << line << " is wider than a Notepad window";
        ++line;
        width = 0;
      }
    } else {
      EXPECT_TRUE(byte >= 0x20 && byte < 0x7F)
          << "line " << line << " holds byte " << int{byte} << ", which is not plain ASCII";
      ++width;
    }
  }
}

TEST_F(GuideTranscript, ShowsTheMenuAsTheProgramPrintsIt) {
  const std::string output = run("Q\n").output;
  const std::string rule = "Menu\n--------------------------------\n";
  ASSERT_NE(output.find(rule), std::string::npos);
  const std::size_t start = output.find(rule) + rule.size();
  EXPECT_EQ(guide().menu, text_lines(output.substr(start, output.find("Choice: ") - start)));
}

TEST_F(GuideTranscript, DescribesEveryLetterTheProgramTakesAndNoOther) {
  std::string described;
  for (const GuideLetters& entry : guide().letters) described += entry.letters;
  for (const std::string& line : guide().menu) {
    if (line[0] != 'Q') {
      EXPECT_NE(described.find(line[0]), std::string::npos)
          << "the guide does not describe: " << line;
    }
    described += line[0];
  }
  // Every other character at "Choice: " is refused: one pass each.
  std::string others;
  for (char c = '!'; c <= '~'; ++c) {
    if (described.find(static_cast<char>(std::toupper(c))) == std::string::npos) others += c;
  }
  std::string input;
  for (const char c : others) input += std::string(1, c) + "\n";
  const std::string output = run(input + "Q\n").output;
  const std::string pass_start = menu + "Choice: ";
  std::size_t at = output.find(pass_start);
  for (const char c : others) {
    ASSERT_NE(at, std::string::npos);
    at += pass_start.size();
    ASSERT_TRUE(output.compare(at, 16, "Invalid choice\n\n") == 0)
        << "the menu takes '" << c << "', which the guide does not describe";
    at = output.find(pass_start, at);
  }
}

TEST_F(GuideTranscript, QuotesEveryPromptOfEachLetterInTheOrderItIsAsked) {
  for (const GuideLetters& entry : guide().letters) {
    for (const char letter : entry.letters) {
      SCOPED_TRACE(std::string("letter ") + letter);
      const std::optional<LetterRun> run = letter_run(letter);
      ASSERT_TRUE(run) << "the guide describes a letter this test does not run";
      ASSERT_EQ(run->answers.size(), entry.prompts.size()) << "one answer per prompt quoted";
      const std::optional<std::string> pass = pass_taking_every_answer(*run);
      ASSERT_TRUE(pass) << "the letter asked for more or fewer answers than the guide quotes";
      std::size_t at = 0;
      for (std::size_t index = 0; index < entry.prompts.size(); ++index) {
        const std::string& prompt = entry.prompts[index].text;
        const std::size_t found = pass->find(prompt, at);
        ASSERT_TRUE(found != std::string::npos)
            << "the guide quotes \"" << prompt << "\", not printed then in:\n"
            << pass->substr(at);
        at = found + prompt.size();
        // The prompt ends where the guide's quote ends: what follows is the next prompt, or
        // a line end, or a line the guide quotes.
        const std::string after = pass->substr(at, pass->find('\n', at) - at);
        const bool next_prompt =
            index + 1 < entry.prompts.size() && after.starts_with(entry.prompts[index + 1].text);
        EXPECT_TRUE(after.empty() || next_prompt || quoted_in_guide({after}))
            << "the program prints more after \"" << prompt << "\": " << after;
      }
    }
  }
}

TEST_F(GuideTranscript, QuotesEachLineThatAFailingLetterPrintsAndAGoodRunDoesNot) {
  struct FailingRun {
    const char* what;
    LetterRun run;
    const char* download_library = nullptr;  // in place of the stand-in; "" for none
  };
  const FailingRun cases[] = {
      {"no download library", {'O', {usb1, "psi.flb", "eep.bin"}}, ""},
      {"a library without an entry point",
       {'O', {usb1, "psi.flb", "eep.bin"}},
       "variants/no_open_comm_port/IFWD_DownloadDll.dll"},
      {"a port that does not open", {'O', {"COM9", "psi.flb", "eep.bin"}}},
      {"a sec-pack the phone refuses", {'O', {usb1, "missing.flb", "eep.bin"}}},
      {"an upload the library refuses",
       {'O',
        {usb1, "psi.flb", "eep.bin"},
        {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_upload_bin_image=fail"}}}},
      {"a download the library refuses",
       {'N',
        {usb1, "psi.flb", "part.bin"},
        {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_download_bin_image=fail"}}}},
      {"a backup onto its sec-pack", {'O', {usb1, "psi.flb", "psi.flb"}}},
      {"V: a port that does not open", {'V', {"COM9", "psi.flb"}}},
      {"X: a port that does not open", {'X', {"COM9", "psi.flb"}}},
      {"H: a library path that loads nothing", {'H', {"nowhere.dll"}}},
      {"G: a chain without a CUST image", {'G', {"end.dfat", "cust.fat"}}},
      {"K: a missing source", {'K', {"missing.bin"}}},
      {"K: a source of no whole frames", {'K', {"part.bin"}}},
      {"K: pictures into a missing folder", {'K', {"anim.bin", "nowhere/out"}}},
      {"K: a folder as the source", {'K', {"."}}},
      {"K: a NUL in the source's name", {'K', {std::string("anim\0.bin", 9)}}},
      {"L: a missing picture", {'L', {"made.bin", "missing.bmp", ""}}},
      {"L: a folder as a picture", {'L', {"made.bin", ".", ""}}},
      {"L: a name too long for the system", {'L', {std::string(300, 'n')}}},
      {"M: an empty range to send", {'M', {"Z", "544fc000", "0", "Y", "Y"}}},
      {"M: a range too large for a backup", {'M', {"Z", "544fc000", "20000000", "Y", "N", "N"}}},
  };
  std::map<char, std::vector<std::string>> good_lines;
  for (const FailingRun& c : cases) {
    SCOPED_TRACE(c.what);
    const GuideLetters* entry = guide_entry(c.run.letter);
    const std::optional<LetterRun> good_run = letter_run(c.run.letter);
    ASSERT_TRUE(entry && good_run);
    if (!good_lines.contains(c.run.letter)) {
      good_lines[c.run.letter] = first_pass_lines(*good_run);
    }
    const std::vector<std::string>& good = good_lines[c.run.letter];
    if (c.download_library) {
      remove_library();
      if (*c.download_library) install_library(c.download_library);
    }
    const std::vector<std::string> failed = first_pass_lines(c.run);
    if (c.download_library) install_library(library_file);

    std::size_t new_lines = 0;
    for (const std::string& line : failed) {
      if (std::find(good.begin(), good.end(), line) != good.end()) continue;
      const std::vector<std::string> forms = without_prompts(line, *entry);
      if (!forms.back().empty()) ++new_lines;
      EXPECT_TRUE(quoted_in_guide(forms)) << "the guide does not quote: " << forms.back();
    }
    EXPECT_GT(new_lines, 0u) << "the run printed nothing that a good run does not";
  }
}
