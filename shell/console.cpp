#include "shell/console.hpp"

#include <limits>

#include "platform/console.hpp"
#include "shell/failure.hpp"

namespace {

// True when the last read stopped inside a line: its rest belongs to that answer, not
// to the next one.
bool line_pending = false;

void discard_pending_input() {
  if (line_pending) {
    std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    line_pending = false;
  }
  platform::drop_typed_ahead_input();
}

}  // namespace

void forget_pending_input() {
  line_pending = false;
}

char read_char() {
  discard_pending_input();
  char answer = 0;
  if (!(std::cin >> answer)) throw EndOfInput{};
  line_pending = true;
  return answer;
}

std::string read_line() {
  discard_pending_input();
  std::string line;
  if (!std::getline(std::cin, line)) throw EndOfInput{};
  return line;
}

std::string read_word() {
  discard_pending_input();
  std::string word;
  if (!(std::cin >> word)) throw EndOfInput{};
  line_pending = true;
  return word;
}

bool console_output_lost() {
  return !std::cout;
}

bool is_yes(char answer) {
  return answer == 'Y' || answer == 'y' || answer == 'O' || answer == 'o' || answer == '1';
}

std::optional<std::int32_t> read_hex_number() {
  discard_pending_input();
  std::int32_t value = 0;
  std::cin >> std::hex >> value;
  line_pending = true;
  if (std::cin) return value;
  if (std::cin.eof()) throw EndOfInput{};
  std::cin.clear();
  return std::nullopt;
}
