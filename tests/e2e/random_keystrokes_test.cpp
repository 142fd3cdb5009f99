// Random keystrokes: scripts of random lines (menu letters, numbers, port names, paths to
// files that exist and that do not, long lines, binary bytes, early ends of input) typed at the
// program with every stand-in beside it. Whatever is typed, every run ends by itself,
// with status 0 and without a sanitizer report, within its time bound.
//
// KORVANTA_KEYSTROKE_SCRIPTS sets how many scripts run (200 by default) and
// KORVANTA_KEYSTROKE_SEED the seed; script i of a seed is the same on every machine, so a
// failing one is replayed with KORVANTA_KEYSTROKE_FIRST=i KORVANTA_KEYSTROKE_SCRIPTS=1.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "tests/support/action_files.hpp"
#include "tests/support/transcript.hpp"

using testing_support::TranscriptTest;

namespace {

namespace fs = std::filesystem;

std::uint64_t setting(const char* name, std::uint64_t fallback) {
  const char* value = std::getenv(name);
  return value ? std::strtoull(value, nullptr, 10) : fallback;
}

class Typist {
 public:
  Typist(std::uint64_t seed, std::uint64_t index, const std::vector<std::string>& existing)
      : existing_(existing) {
    std::seed_seq sequence{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32),
                           static_cast<std::uint32_t>(index),
                           static_cast<std::uint32_t>(index >> 32)};
    random_.seed(sequence);
  }

  std::string script() {
    std::string typed;
    const int lines = below(40);
    for (int i = 0; i < lines; ++i) typed += line() + "\n";
    // One script in four stops inside a line; one in eight chooses "Q" at the end.
    if (!typed.empty() && below(4) == 0) typed.pop_back();
    if (below(8) == 0) typed += "Q\n";
    return typed;
  }

 private:
  int below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

  std::string pick(const std::string& characters, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += characters[below(static_cast<int>(characters.size()))];
    return text;
  }

  std::string line() {
    static const std::string letters = "ABCDEFGHIJKLMNOPVXZabcdefghijklmnopvxzyYnN1 ";
    static const std::string hex = "0123456789abcdefABCDEF";
    static const std::vector<std::string> numbers = {
        "0", "-1", "7fffffff", "80000000", "-80000000", "100000000", "0x2b800", "+10", "0x", "-"};
    switch (below(12)) {
      case 0:
      case 1:
      case 2:
        return pick(letters, 1 + (below(4) == 0 ? below(6) : 0));
      case 3:
        return numbers[below(static_cast<int>(numbers.size()))];
      case 4:
        return (below(2) ? "0x" : "") + pick(hex, 1 + below(10));
      case 5:
        return below(2) ? "\\\\.\\USB1" : "\\\\.\\USB9";
      case 6:
        return existing_[below(static_cast<int>(existing_.size()))];
      case 7:
        return "missing" + pick(hex, 3) + (below(2) ? ".bmp" : ".bin");
      case 8:
        return pick(letters + hex + "\t.", 1 + below(20000));
      case 9:
        return binary();
      default:
        return "";
    }
  }

  // Any bytes but "/": a random name must never reach outside the work folder.
  std::string binary() {
    std::string bytes;
    for (int i = 1 + below(200); i > 0; --i) {
      const char byte = static_cast<char>(below(256));
      bytes += byte == '/' ? '\\' : byte;
    }
    return bytes;
  }

  std::mt19937_64 random_;
  const std::vector<std::string>& existing_;
};

class RandomKeystrokes : public TranscriptTest {};

}  // namespace

TEST_F(RandomKeystrokes, EveryScriptEndsWithStatusZeroWithinItsTimeBound) {
  install_every_standin();
  const std::vector<std::string> existing = testing_support::write_action_files(work());
  const std::uint64_t seed = setting("KORVANTA_KEYSTROKE_SEED", 20261208);
  const std::uint64_t first = setting("KORVANTA_KEYSTROKE_FIRST", 0);
  const std::uint64_t count = setting("KORVANTA_KEYSTROKE_SCRIPTS", 200);
  const auto bound = std::chrono::seconds(10);

  std::uint64_t failed = 0;
  std::chrono::steady_clock::duration longest{};
  const auto start = std::chrono::steady_clock::now();
  for (std::uint64_t index = first; index < first + count; ++index) {
    const std::string script = Typist(seed, index, existing).script();
    const auto began = std::chrono::steady_clock::now();
    const auto session = run(script, {{"KORVANTA_VIRTUAL_PHONE", work("flash").string()}}, bound);
    longest = std::max(longest, std::chrono::steady_clock::now() - began);
    // The harness has failed the test already; this names the script to replay.
    if (session.exit_status != 0 || !testing_support::sanitizer_report(session.errors).empty()) {
      ++failed;
      ADD_FAILURE() << "script " << index << " of seed " << seed << " (" << script.size()
                    << " bytes) broke the run";
    }
    // Files the run wrote go, so that every script starts from the same folder.
    for (const auto& entry : fs::directory_iterator(work())) {
      if (std::find(existing.begin(), existing.end(), entry.path().filename().string()) ==
          existing.end()) {
        fs::remove_all(entry.path());
      }
    }
    testing_support::write_action_files(work());
  }
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "random keystrokes: " << count << " scripts of seed " << seed << " from " << first
            << ", " << failed << " failed, " << seconds << " s in all, longest run "
            << std::chrono::duration<double>(longest).count() << " s" << std::endl;
  EXPECT_EQ(failed, 0u);
}
