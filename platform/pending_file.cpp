// What a pending file does the same way on every platform; the rest is in
// pending_file_<platform>.cpp.
#include "platform/pending_file.hpp"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace platform {

namespace {

// Another program that holds a file for a moment (a scanner, a preview, an indexer) is
// waited for: well under a second as a rule, and 2 seconds as Go's robustio allows. A
// result that still cannot go in place is kept, so waiting longer would only make the
// technician wait. Only Windows' sharing rules ever give held.
template <typename Attempt>
FileOutcome waiting_for_holders(Attempt attempt) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  auto pause = std::chrono::milliseconds(10);
  for (;;) {
    const FileOutcome outcome = attempt();
    if ((outcome != FileOutcome::held && outcome != FileOutcome::denied) ||
        std::chrono::steady_clock::now() >= give_up) {
      return outcome;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(250));
  }
}

}  // namespace

FileOutcome move_file(const std::string& from, const std::string& to) {
  return waiting_for_holders([&] { return move_file_once(from, to); });
}

PendingFile::~PendingFile() {
  close();
}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : handle_(other.handle_), name_(std::move(other.name_)), claimed_(other.claimed_) {
  other.handle_ = closed;
}

PendingFile& PendingFile::operator=(PendingFile&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    name_ = std::move(other.name_);
    claimed_ = other.claimed_;
    other.handle_ = closed;
  }
  return *this;
}

FileOutcome PendingFile::replace(const std::string& target, bool durable) {
  return waiting_for_holders([&] { return replace_once(target, durable); });
}

}  // namespace platform
