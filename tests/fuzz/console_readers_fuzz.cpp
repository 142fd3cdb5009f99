// Fuzz harness of the console readers that every prompt uses, the hexadecimal number read
// of the extended transfer included. The first byte says how many of the following bytes
// are a script of reads (each picks one reader); everything after the script is what the
// user typed. The script is repeated until the input has ended.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "shell/console.hpp"
#include "shell/failure.hpp"
#include "tests/support/scripted_console.hpp"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool is_white(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// Runs one reader; false once the input has ended.
bool read_once(std::uint8_t reader) {
  try {
    switch (reader % 5) {
      case 0:
        require(!is_white(read_char()));
        break;
      case 1:
        require(read_line().find('\n') == std::string::npos);
        break;
      case 2: {
        const std::string word = read_word();
        require(!word.empty());
        for (const char c : word) require(!is_white(c));
        break;
      }
      case 3:
        read_hex_number();
        break;
      default:
        is_yes(read_char());
        break;
    }
    return true;
  } catch (const EndOfInput&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t script_size = std::min<std::size_t>(data[0] % 16 + 1, size - 1);
  const std::uint8_t* script = data + 1;
  const std::string typed(reinterpret_cast<const char*>(data + 1 + script_size),
                          size - 1 - script_size);

  const testing_support::ScriptedConsole console(typed);

  // Every read that answers takes at least one character, or leaves its line pending for
  // the next read to drop: the input must have ended after twice as many reads as it has
  // characters, and stay ended.
  std::size_t reads = 0;
  const std::size_t read_limit = 2 * (typed.size() + 1) + 2;
  if (script_size > 0) {
    while (read_once(script[reads % script_size])) require(++reads <= read_limit);
    for (std::size_t i = 0; i < script_size; ++i) require(!read_once(script[i]));
  }
  return 0;
}
