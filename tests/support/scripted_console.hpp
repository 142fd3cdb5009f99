// The console of an in-process test: standard input reads a script, standard output is
// captured. Everything is put back when the helper goes, also when the test fails or an
// action raises: both streams' buffers, states, number formats and fill characters, and
// the reading operations' pending line. Header-only, so that the fuzz harnesses use it too.
#pragma once

#include <iostream>
#include <sstream>
#include <string>

#include "shell/console.hpp"

namespace testing_support {

class ScriptedConsole {
 public:
  explicit ScriptedConsole(const std::string& script = "") {
    std::cin.rdbuf(&input_);
    std::cout.rdbuf(&output_);
    feed(script);
  }
  ~ScriptedConsole() {
    std::cin.rdbuf(saved_input_);
    std::cout.rdbuf(saved_output_);
    std::cin.clear(saved_input_state_);
    std::cout.clear(saved_output_state_);
    std::cin.flags(saved_input_flags_);
    std::cout.flags(saved_output_flags_);
    std::cout.fill(saved_fill_);
    forget_pending_input();
  }
  ScriptedConsole(const ScriptedConsole&) = delete;
  ScriptedConsole& operator=(const ScriptedConsole&) = delete;

  // Standard input reads `script` from the next read on, in a clear state, as if nothing
  // had been read before; what was printed so far is dropped.
  void feed(const std::string& script) {
    input_.str(script);
    output_.str("");
    std::cin.clear();
    std::cin.flags(saved_input_flags_);
    forget_pending_input();
  }

  // What was printed since the last feed.
  std::string printed() const { return output_.str(); }

 private:
  std::stringbuf input_;
  std::stringbuf output_;
  std::streambuf* saved_input_ = std::cin.rdbuf();
  std::streambuf* saved_output_ = std::cout.rdbuf();
  std::ios_base::iostate saved_input_state_ = std::cin.rdstate();
  std::ios_base::iostate saved_output_state_ = std::cout.rdstate();
  std::ios_base::fmtflags saved_input_flags_ = std::cin.flags();
  std::ios_base::fmtflags saved_output_flags_ = std::cout.flags();
  char saved_fill_ = std::cout.fill();
};

}  // namespace testing_support
