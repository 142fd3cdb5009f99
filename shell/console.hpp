// The console: the reading operations every action uses, and the printing helpers that
// are the only way text reaches standard output.
#pragma once

#include <cstdint>
#include <iostream>
#include <optional>
#include <string>

// Each reading operation first discards input still pending: the rest of the line that
// the previous read left unread and, on an interactive console, whatever was typed
// ahead. At the end of standard input each raises EndOfInput instead of answering.

// Skips blanks and line ends and takes the next character; the rest of its line stays
// pending.
char read_char();

// Reads one whole line; the line end is consumed and not kept, blanks stay.
std::string read_line();

// Skips white space (empty lines included) and reads up to the next white space; the
// rest of the line stays pending.
std::string read_word();

// The phone model the prompts and the banner name.
inline constexpr const char* phone_model = "KS360";

// A letter answer in capitals: "a" to "z" become "A" to "Z", other characters stay.
inline char capital_letter(char answer) {
  return answer >= 'a' && answer <= 'z' ? static_cast<char>(answer - 'a' + 'A') : answer;
}

// True for the answers "Y", "y", "O", "o" and "1".
bool is_yes(char answer);

// Reads one signed 32-bit integer in hexadecimal (optional sign, optional 0x prefix).
// Text that is no such number, or one out of range, gives no value and clears the
// input's error state; the rest of the line stays pending.
std::optional<std::int32_t> read_hex_number();

// Forgets the rest of a line that an earlier read left pending, for a caller that has
// just replaced what standard input reads from.
void forget_pending_input();

// Whether standard output has stopped taking text: its reader has gone (a pipe whose
// reader quit, a logging tool that was closed) or it cannot be written to. Noticed at the
// first line that could not be printed; what is printed after it goes nowhere, and the
// action that runs, a phone session with its closing steps included, goes on to its end.
bool console_output_lost();

// Prints the parts and a line end, and flushes: one whole message line.
template <typename... Parts>
void print_line(const Parts&... parts) {
  (std::cout << ... << parts) << '\n' << std::flush;
}

// Prints the parts without a line end, and flushes: a prompt answered on the same line.
template <typename... Parts>
void print_prompt(const Parts&... parts) {
  (std::cout << ... << parts) << std::flush;
}
