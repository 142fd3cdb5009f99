// The technician's guide (docs/guide.txt) as the tests read it: the menu it shows, the
// letters it describes with the prompts it quotes, and every text it quotes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// A prompt the guide quotes for a letter: a line "  1. "<text>"" and below it
// "     for example  <answer>".
struct GuidePrompt {
  std::string text;  // as the program prints it, blanks included
  std::string example;
};

// A heading "Letter G: ..." or "Letters A, C, E and N: ..." and the prompts below it.
struct GuideLetters {
  std::string letters;  // "ACEN"
  std::vector<GuidePrompt> prompts;
};

struct Guide {
  std::vector<std::string> menu;  // its lines "A - Send ROOT partition on mobile phone"
  std::vector<GuideLetters> letters;
  // Every text between double quotes, where the guide shows what the program prints; a
  // quote that runs on to the next line has one blank for the line break.
  std::vector<std::string> quoted;
};

// The guide in the source tree, and the guide read from a file. A prompt out of its order,
// one without its example, a prompt outside a letter's heading or a quote left open raises
// std::runtime_error naming the line.
std::filesystem::path guide_file();
Guide read_guide(const std::filesystem::path& file = guide_file());

// The lines of a text, each without its line end (LF or CR LF); a last line without one
// counts too.
std::vector<std::string> text_lines(const std::string& text);

// Whether `line` is `pattern`, where each word in angle brackets in the pattern ("<name>")
// stands for any text.
bool fits_pattern(const std::string& pattern, const std::string& line);

}  // namespace testing_support
