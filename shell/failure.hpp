// The failure kinds that actions raise and that only the menu loop reports.
#pragma once

#include <ios>
#include <stdexcept>
#include <string>

// A message raised by an action; the menu loop prints the text as it stands.
class TextFailure : public std::runtime_error {
 public:
  explicit TextFailure(const std::string& text) : std::runtime_error(text) {}
};

[[noreturn]] inline void fail(const std::string& text) {
  throw TextFailure(text);
}

// A file stream that reached one of its error states (bad, fail or end of file). It
// keeps the state that caused it, so the report does not depend on the wording of the
// standard library in use. A note, when there is one, says which file and why, on a line
// of its own before the report.
class StreamFailure : public std::ios_base::failure {
 public:
  explicit StreamFailure(std::ios_base::iostate state, std::string note = {});
  std::ios_base::iostate state() const { return state_; }
  const std::string& note() const { return note_; }
  const char* what() const noexcept override;

 private:
  std::ios_base::iostate state_;
  std::string note_;
};

// "ios_base::badbit set", else "ios_base::failbit set", else "ios_base::eofbit set",
// tried in that order against the state.
const char* describe_stream_state(std::ios_base::iostate state);

// The technician asked the program to stop (Ctrl+C, closing the console) while the phone
// was in a session, and the phone has been restarted and its port closed since; or nobody
// reads the program's output any more (console_output_lost). Not one of the reported
// failures: the program ends on it.
struct Interrupted {};

// Standard input can deliver no more characters. Not one of the reported failures: the
// menu loop ends on it as if "Q" had been chosen.
struct EndOfInput {};
