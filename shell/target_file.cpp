#include "shell/target_file.hpp"

#include <algorithm>
#include <iterator>
#include <streambuf>
#include <string_view>
#include <utility>

#include "platform/file_system.hpp"
#include "shell/failure.hpp"
#include "shell/files.hpp"

namespace {

using platform::FileOutcome;

// How many kept names of one second are tried before the program gives up on finding a free
// one; the name of the last is the longest a target must leave room for.
constexpr int most_kept_names = 9;
constexpr const char* stamp_shape = "YYYYMMDD-HHMMSS";

// The line of each refusal: <t> stands for the target's name, <i> for its incomplete file's.
constexpr std::pair<FileOutcome, std::string_view> refusals[] = {
    {FileOutcome::claimed,
     "Another run of the program is writing the file '<t>': wait until it ends, or choose "
     "another name."},
    {FileOutcome::read_only,
     "The file '<t>' is read-only: make it writable, or choose another name."},
    {FileOutcome::held,
     "The file '<t>' is open in another program: close it there, or choose another name."},
    {FileOutcome::denied,
     "The file '<t>' may not be replaced by this user (access is denied): choose another name."},
    {FileOutcome::folder_refuses,
     "The folder of the file '<t>' takes no new file: choose another folder."},
    {FileOutcome::name_taken,
     "The name '<i>' is taken by something that is not the program's: rename or remove it."},
    {FileOutcome::leftover,
     "An earlier run left '<i>', which may hold its whole result, and '<t>' is not there: rename "
     "it to '<t>', or remove it."},
    {FileOutcome::name_too_long,
     "The name '<t>' is too long for the system: choose a shorter name or folder."},
    {FileOutcome::too_many_open,
     "The file '<t>' cannot be claimed: the system allows no more open files."},
    {FileOutcome::missing_folder, "The folder of the file '<t>' does not exist."},
    {FileOutcome::failed, "The file '<t>' cannot be made: the system refused it."},
};

[[noreturn]] void refuse(FileOutcome outcome, const std::string& target) {
  const auto* row = std::find_if(std::begin(refusals), std::end(refusals) - 1,
                                 [&](const auto& refusal) { return refusal.first == outcome; });
  std::string line;
  for (std::size_t at = 0; at < row->second.size(); ++at) {
    const std::string_view mark = row->second.substr(at, 3);
    if (mark == "<t>" || mark == "<i>") {
      line += mark == "<t>" ? target : incomplete_name(target);
      at += 2;
    } else {
      line += row->second[at];
    }
  }
  // As the stream of a file that cannot be opened, after the line that says why.
  if (outcome == FileOutcome::missing_folder) throw StreamFailure(std::ios_base::failbit, line);
  fail(line);
}

const char* reason_of(FileOutcome outcome) {
  switch (outcome) {
    case FileOutcome::read_only:
      return "it is read-only";
    case FileOutcome::held:
      return "it is open in another program";
    case FileOutcome::denied:
      return "access to it is denied";
    default:
      return "the system refused it";
  }
}

std::optional<std::string> name_refusal(const std::string& typed) {
  if (typed.find('\0') != std::string::npos) {
    return "The typed name holds a NUL character, which no file name may hold.";
  }
  if (platform::names_device(typed))
    return "The name '" + typed + "' stands for a device, not a file.";
  return std::nullopt;
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

TargetFile::TargetFile(const std::string& typed, Durability durability,
                       std::initializer_list<Guarded> guards)
    : target_(platform::system_name(library_file(typed))), durability_(durability) {
  for (const Guarded& guarded : guards) {
    if (writes_over(target_, guarded.file)) fail(guarded.refusal);
  }
  if (!platform::name_fits(kept_name(target_, stamp_shape, most_kept_names))) {
    refuse(FileOutcome::name_too_long, target_);
  }
  direct_ = !platform::replaceable(target_);
  if (direct_) return;
  if (const FileOutcome claimed = file_.claim(incomplete_name(target_), target_);
      claimed != FileOutcome::done) {
    refuse(claimed, target_);
  }
  if (const FileOutcome hindrance = platform::replacement_hindrance(target_);
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
      ended_(other.ended_) {
  other.ended_ = true;
}

TargetFile::~TargetFile() {
  if (!ended_) discard();
}

std::ostream& TargetFile::stream() {
  if (direct_ && !file_.is_open()) file_.open_directly(target_);
  if (!file_.is_open()) throw StreamFailure(std::ios_base::failbit);
  if (!output_) output_ = std::make_unique<Output>(file_);
  return output_->stream;
}

std::FILE* TargetFile::open_stream() {
  if (direct_ && !file_.is_open()) file_.open_directly(target_);
  return file_.is_open() ? file_.open_stream() : nullptr;
}

bool TargetFile::cut_to(std::uint64_t size) {
  return file_.is_open() && file_.resize(size);
}

void TargetFile::put_in_place() {
  ended_ = true;
  output_.reset();
  if (direct_) {
    file_ = platform::PendingFile();
    return;
  }
  const FileOutcome replaced = file_.replace(target_, durability_ == Durability::flushed);
  if (replaced == FileOutcome::done) return;
  const std::string why = "The file '" + target_ + "' could not be replaced (" +
                          reason_of(replaced) + "): the new result is ";
  const std::string stamp = platform::local_time_stamp();
  for (int attempt = 1; attempt <= most_kept_names; ++attempt) {
    const std::string kept = kept_name(target_, stamp, attempt);
    const FileOutcome outcome = file_.keep_as(kept);
    if (outcome == FileOutcome::exists) continue;
    if (outcome != FileOutcome::done) break;
    fail(why + "kept as '" + kept + "'.");
  }
  // A run over the same target would empty it: the technician has to move it first.
  fail(why + "left as '" + incomplete_name(target_) +
       "': move it elsewhere before the program writes this file again.");
}

void TargetFile::put_partial_in_place() noexcept {
  ended_ = true;
  output_.reset();
  if (direct_) {
    file_ = platform::PendingFile();
  } else if (file_.replace(target_, durability_ == Durability::flushed) != FileOutcome::done) {
    file_.remove();
  }
}

void TargetFile::discard() {
  ended_ = true;
  output_.reset();
  if (!direct_) file_.remove();
  file_ = platform::PendingFile();
}

std::string incomplete_name(const std::string& target) {
  return target + ".incomplete";
}

std::string kept_name(const std::string& target, const std::string& stamp, int attempt) {
  const std::size_t leaf = platform::leaf_start(target);
  const auto dot = target.rfind('.');
  const std::size_t extension = dot == std::string::npos || dot <= leaf ? target.size() : dot;
  const std::string mark = ".new-" + stamp + (attempt == 1 ? "" : "-" + std::to_string(attempt));
  return target.substr(0, extension) + mark + target.substr(extension);
}

bool writes_over(const std::string& target, const std::string& file) {
  return same_file(file, target) || same_file(file, incomplete_name(target));
}

const std::string& library_file(const std::string& typed) {
  if (auto refusal = name_refusal(typed)) fail(*refusal);
  return typed;
}

std::ifstream open_typed_source(const std::string& name) {
  if (platform::names_irregular_file(library_file(name))) {
    throw StreamFailure(std::ios_base::failbit);
  }
  return open_for_reading(name);
}

std::optional<std::string> unreadable_source(const std::string& name,
                                             const TargetFile& being_written) {
  if (auto refusal = name_refusal(name)) return refusal;
  if (platform::names_irregular_file(name)) return "The file '" + name + "' is not a regular file.";
  if (writes_over(being_written.target(), name)) {
    return "The file '" + name + "' is the animation being written.";
  }
  return std::nullopt;
}
