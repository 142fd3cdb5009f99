#include "tests/support/guide.hpp"

#include <regex>
#include <stdexcept>

#include "tests/support/files.hpp"

namespace testing_support {

std::vector<std::string> text_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

namespace {

[[noreturn]] void malformed(std::size_t index, const std::string& why) {
  throw std::runtime_error("guide line " + std::to_string(index + 1) + ": " + why);
}

// The texts between double quotes; a line break inside one, with the next line's
// indentation, counts as one blank.
std::vector<std::string> quoted_texts(const std::vector<std::string>& lines) {
  std::vector<std::string> quoted;
  std::string text;
  bool open = false;
  std::size_t opened_at = 0;
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const std::string& line = lines[index];
    if (open) {
      if (line.find_first_not_of(' ') == std::string::npos) malformed(opened_at, "quote left open");
      text += ' ';
    }
    for (std::size_t at = open ? line.find_first_not_of(' ') : 0; at < line.size(); ++at) {
      if (line[at] != '"') {
        if (open) text += line[at];
      } else if (open) {
        quoted.push_back(text);
        open = false;
      } else {
        text.clear();
        open = true;
        opened_at = index;
      }
    }
  }
  if (open) malformed(opened_at, "quote left open");
  return quoted;
}

}  // namespace

std::filesystem::path guide_file() {
  return KORVANTA_GUIDE;
}

Guide read_guide(const std::filesystem::path& file) {
  const std::regex menu_line(R"(    ([A-Z] - .+))");
  const std::regex heading(R"(Letters? ([A-Z](, [A-Z])*( and [A-Z])?): .+)");
  const std::regex prompt_line(R"re( +([0-9]+)\. "(.*)")re");
  const std::regex numbered_quote(R"( +[0-9]+\. ".*)");
  const std::regex example_line(R"( +for example  (\S.*))");

  const std::vector<std::string> lines = text_lines(read_text(file));
  Guide guide;
  GuideLetters* section = nullptr;
  std::smatch match;
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const std::string& line = lines[index];
    if (std::regex_match(line, match, menu_line)) {
      guide.menu.push_back(match[1]);
    } else if (std::regex_match(line, match, heading)) {
      section = &guide.letters.emplace_back();
      for (const char c : match[1].str()) {
        if (c >= 'A' && c <= 'Z') section->letters += c;
      }
    } else if (std::regex_match(line, match, prompt_line)) {
      if (!section) malformed(index, "a prompt under no letter's heading");
      if (match[1] != std::to_string(section->prompts.size() + 1)) {
        malformed(index, "prompt numbered out of order");
      }
      std::smatch example;
      if (index + 1 == lines.size() || !std::regex_match(lines[index + 1], example, example_line)) {
        malformed(index, "a prompt without its example answer below it");
      }
      section->prompts.push_back({match[2], example[1]});
      ++index;
    } else if (std::regex_match(line, numbered_quote)) {
      malformed(index, "a prompt with more than its quote on its line");
    } else if (!line.empty() && line[0] != ' ') {
      section = nullptr;  // a letter's prompts end at the next line that is not indented
    }
  }
  guide.quoted = quoted_texts(lines);
  return guide;
}

bool fits_pattern(const std::string& pattern, const std::string& line) {
  // The literal pieces between the words in angle brackets, in order.
  std::vector<std::string> pieces{""};
  for (std::size_t at = 0; at < pattern.size(); ++at) {
    const std::size_t close = pattern[at] == '<' ? pattern.find('>', at) : std::string::npos;
    if (close == std::string::npos) {
      pieces.back() += pattern[at];
    } else {
      pieces.emplace_back();
      at = close;
    }
  }
  if (pieces.size() == 1) return line == pattern;
  const std::string& first = pieces.front();
  const std::string& last = pieces.back();
  if (line.size() < first.size() + last.size() || line.compare(0, first.size(), first) != 0 ||
      line.compare(line.size() - last.size(), last.size(), last) != 0) {
    return false;
  }
  std::size_t at = first.size();
  const std::size_t end = line.size() - last.size();
  for (std::size_t piece = 1; piece + 1 < pieces.size(); ++piece) {
    at = line.find(pieces[piece], at);
    if (at == std::string::npos || at + pieces[piece].size() > end) return false;
    at += pieces[piece].size();
  }
  return true;
}

}  // namespace testing_support
