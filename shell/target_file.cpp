#include "shell/target_file.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <streambuf>
#include <thread>

#include "shell/failure.hpp"
#include "shell/files.hpp"

namespace {

using platform::FileOutcome;

constexpr const char* incomplete_ending = ".incomplete";
// The longest name of one file that common file systems take (NTFS, FAT32, ext4: 255).
constexpr std::size_t longest_file_name = 255;
// How long a target held by another program is waited for. A scanner or a preview opens a
// new file for well under a second; Go's robustio waits 2 seconds for the same reason. A
// result that still cannot go in place is kept, so waiting longer would only make the
// technician wait.
constexpr auto longest_wait = std::chrono::seconds(2);
// How many kept names are tried before the program gives up on finding a free one.
constexpr int most_kept_names = 100;

std::size_t leaf_start(const std::string& name) {
  const auto separator = name.find_last_of("/\\:");
  return separator == std::string::npos ? 0 : separator + 1;
}

// FNV-1a: a short name that tells one long name from another.
std::string hash_text(const std::string& text) {
  std::uint64_t hash = 0xcbf29ce484222325;
  for (const unsigned char byte : text) hash = (hash ^ byte) * 0x100000001b3;
  static constexpr char digits[] = "0123456789abcdef";
  std::string hex(16, '0');
  for (auto& digit : hex) {
    digit = digits[hash >> 60];
    hash <<= 4;
  }
  return hex;
}

[[noreturn]] void refuse(FileOutcome outcome, const std::string& target) {
  switch (outcome) {
    case FileOutcome::claimed:
      fail("Another run of the program is writing the file '" + target +
           "': wait until it ends, or choose another name.");
    case FileOutcome::read_only:
      fail("The file '" + target + "' is read-only: make it writable, or choose another name.");
    case FileOutcome::held:
      fail("The file '" + target +
           "' is open in another program: close it there, or choose another name.");
    case FileOutcome::folder_refuses:
      fail("The folder of the file '" + target + "' takes no new file: choose another folder.");
    case FileOutcome::name_taken:
      fail("The name '" + incomplete_name(target) +
           "' is taken by something that is not the program's: rename or remove it.");
    default:  // name_too_long
      fail("The name '" + target +
           "' is too long for the system: choose a shorter name or folder.");
  }
}

const char* reason_of(FileOutcome outcome) {
  switch (outcome) {
    case FileOutcome::read_only:
      return "it is read-only";
    case FileOutcome::held:
      return "it is open in another program";
    default:
      return "the system refused it";
  }
}

// Renames over the target, waiting for a holder that lets go.
FileOutcome replace_waiting(platform::PendingFile& file, const std::string& target, bool durable) {
  const auto give_up = std::chrono::steady_clock::now() + longest_wait;
  auto pause = std::chrono::milliseconds(10);
  for (;;) {
    const FileOutcome outcome = file.replace(target, durable);
    if (outcome != FileOutcome::held || std::chrono::steady_clock::now() >= give_up) {
      return outcome;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(250));
  }
}

// Writes go straight to the file: every action here writes in large pieces of its own.
class FileBuffer : public std::streambuf {
 public:
  explicit FileBuffer(platform::PendingFile& file) : file_(file) {}

 protected:
  int_type overflow(int_type byte) override {
    if (traits_type::eq_int_type(byte, traits_type::eof())) return traits_type::not_eof(byte);
    const char data = traits_type::to_char_type(byte);
    return file_.write(&data, 1) ? byte : traits_type::eof();
  }
  std::streamsize xsputn(const char* data, std::streamsize size) override {
    return file_.write(data, static_cast<std::size_t>(size)) ? size : 0;
  }

 private:
  platform::PendingFile& file_;
};

}  // namespace

struct TargetFile::Output {
  explicit Output(platform::PendingFile& file) : buffer(file), stream(&buffer) {}
  FileBuffer buffer;
  std::ostream stream;
};

TargetFile::TargetFile(std::string target, Durability durability)
    : target_(std::move(target)), durability_(durability) {
  if (!platform::name_fits(target_)) refuse(FileOutcome::name_too_long, target_);
  direct_ = !platform::replaceable(target_);
  if (direct_) return;
  const FileOutcome claimed = file_.claim(incomplete_name(target_));
  // A file that cannot be made at all (no such folder) fails where it is written, as a
  // file that cannot be opened.
  if (claimed == FileOutcome::missing_folder || claimed == FileOutcome::failed) return;
  if (claimed != FileOutcome::done) refuse(claimed, target_);
  if (const auto hindrance = platform::replacement_hindrance(target_);
      hindrance != FileOutcome::done) {
    file_.remove();
    refuse(hindrance, target_);
  }
}

TargetFile::TargetFile(TargetFile&& other) noexcept
    : target_(std::move(other.target_)),
      durability_(other.durability_),
      direct_(other.direct_),
      file_(std::move(other.file_)),
      begun_(other.begun_),
      ended_(other.ended_) {
  other.ended_ = true;
}

TargetFile::~TargetFile() {
  output_.reset();
  if (ended_ || direct_ || !file_.is_open()) return;
  if (!begun_ ||
      replace_waiting(file_, target_, durability_ == Durability::flushed) != FileOutcome::done) {
    file_.remove();
  }
}

std::ostream& TargetFile::stream() {
  begun_ = true;
  if (direct_ && !file_.is_open()) file_.open_directly(target_);
  if (!file_.is_open()) throw StreamFailure(std::ios_base::failbit);
  if (!output_) output_ = std::make_unique<Output>(file_);
  return output_->stream;
}

std::FILE* TargetFile::open_stream() {
  begun_ = true;
  if (direct_ && !file_.is_open()) file_.open_directly(target_);
  return file_.is_open() ? file_.open_stream() : nullptr;
}

bool TargetFile::creatable() const {
  return direct_ || file_.is_open();
}

bool TargetFile::cut_to(std::uint64_t size) {
  return file_.is_open() && file_.resize(size);
}

void TargetFile::put_in_place() {
  ended_ = true;
  output_.reset();
  if (direct_ || !file_.is_open()) {
    file_ = platform::PendingFile();
    return;
  }
  const FileOutcome replaced = replace_waiting(file_, target_, durability_ == Durability::flushed);
  if (replaced == FileOutcome::done) return;
  const std::string why = "The file '" + target_ + "' could not be replaced (" +
                          reason_of(replaced) + "): the new result is ";
  for (int attempt = 1; attempt <= most_kept_names; ++attempt) {
    const std::string kept = kept_name(target_, attempt);
    const FileOutcome outcome = file_.keep_as(kept);
    if (outcome == FileOutcome::exists) continue;
    if (outcome != FileOutcome::done) break;
    fail(why + "kept as '" + kept + "'.");
  }
  // A run over the same target would empty it: the technician has to move it first.
  fail(why + "left as '" + incomplete_name(target_) +
       "': move it elsewhere before the program writes this file again.");
}

void TargetFile::discard() {
  ended_ = true;
  output_.reset();
  file_.remove();
}

std::string incomplete_name(const std::string& target) {
  const std::size_t leaf = leaf_start(target);
  if (target.size() - leaf + std::char_traits<char>::length(incomplete_ending) <=
      longest_file_name) {
    return target + incomplete_ending;
  }
  return target.substr(0, leaf) + "~" + hash_text(target) + incomplete_ending;
}

std::string kept_name(const std::string& target, int attempt) {
  const std::size_t leaf = leaf_start(target);
  const auto dot = target.rfind('.');
  const std::size_t extension = dot == std::string::npos || dot <= leaf ? target.size() : dot;
  const std::string mark = attempt == 1 ? ".new" : ".new" + std::to_string(attempt);
  return target.substr(0, extension) + mark + target.substr(extension);
}

bool writes_over(const std::string& target, const std::string& file) {
  return same_file(file, target) || same_file(file, incomplete_name(target));
}
