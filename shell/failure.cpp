#include "shell/failure.hpp"

#include <utility>

StreamFailure::StreamFailure(std::ios_base::iostate state, std::string note)
    : std::ios_base::failure(describe_stream_state(state)), state_(state), note_(std::move(note)) {}

const char* StreamFailure::what() const noexcept {
  return describe_stream_state(state_);
}

const char* describe_stream_state(std::ios_base::iostate state) {
  if (state & std::ios_base::badbit) return "ios_base::badbit set";
  if (state & std::ios_base::failbit) return "ios_base::failbit set";
  return "ios_base::eofbit set";
}
