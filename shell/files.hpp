// File streams for the actions. Every step checks the stream: any error state (bad, fail
// or end of file) raises a StreamFailure carrying that state, so a file that cannot be
// opened, a short read and a failed write all end the action at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>

// Opens an existing file for reading raw bytes.
std::ifstream open_for_reading(const std::string& path);

// Creates the file, or empties an existing one, for writing raw bytes.
std::ofstream open_for_writing(const std::string& path);

// Raises a StreamFailure when the stream is in any error state.
void check_stream(const std::ios& stream);

void read_exact(std::istream& stream, char* data, std::size_t size);
void write_all(std::ostream& stream, const char* data, std::size_t size);
void seek_to(std::istream& stream, std::streamoff position);

// The size of the file behind the stream; leaves the position at the start.
std::uint64_t stream_size(std::istream& stream);

// Whether the two typed names name one file, by what the file system says of the files
// themselves (platform::file_identity): the same name, another spelling of it, another
// drive letter, a symbolic or a hard link. A name that names no file names no other.
bool same_file(const std::string& first, const std::string& second);

// When a typed file name cannot be used, the text that says so; else nothing. Every name
// that the technician types for a file the program or a library opens is asked about
// first. A name that holds a NUL character would end there for every file call and reach
// another file ("b.<NUL>bin", its raw file and its incomplete file would all be "b.").
// A name that stands for a device rather than a file (on Windows "aux.bin", "COM1",
// "nul") is named in its text: an action reads or writes no such name.
std::optional<std::string> typed_name_refusal(const std::string& name);

// Raises the text above as a TextFailure when there is one.
void refuse_unusable_name(const std::string& name);

// Whether the typed name names something that is there and is not a regular file, links
// followed: a pipe, a device (/dev/zero, /dev/tty) or a folder. An action reads no such
// file itself: opening a pipe waits for a writer, a terminal waits for a typist, a device
// never ends, and a folder opens as a file on some systems and fails only at its first
// read. A name that names nothing, or that the system says nothing of, is left to the
// opening, which reports it.
bool names_irregular_file(const std::string& name);

// Opens a file that an action reads itself, named as typed, for reading raw bytes: the
// name is refused first (refuse_unusable_name), and one that names no regular file is
// reported as a file that cannot be opened (a StreamFailure with the fail state), before
// an opening that could wait.
std::ifstream open_typed_source(const std::string& name);

// The name under which a file is written before it replaces `target`: "<target>.incomplete",
// beside it, so that it needs no room on another drive and its rename replaces the target
// at once. Only the program writes and removes a file of that name.
std::string incomplete_name(const std::string& target);

// Whether writing `target` would write over `file`: `file` is the target or its incomplete
// file (same_file).
bool writes_over(const std::string& target, const std::string& file);

// A file that an action writes, written first as the target's incomplete file and renamed
// over the target when it is done (platform::replace_file): until then, and when the
// program is ended in the middle, the earlier file stays whole. An incomplete file that an
// interrupted run left is removed first. A target that exists and is not a regular file,
// or is a symbolic link, is written directly and never replaced: a device (/dev/null), a
// pipe, or the file a link leads to.
class FileReplacement {
 public:
  explicit FileReplacement(const std::string& target);
  // What was written is put in place, as put_in_place does, when it was not done yet (an
  // action that reports a failure leaves what it wrote); the incomplete file is removed
  // when that cannot be done.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // The name to write to.
  const std::string& path() const { return path_; }
  // Renames the written file over the target. Raises a StreamFailure (bad state) when the
  // rename fails; the incomplete file is removed then and the earlier file stays.
  void put_in_place();
  // Removes what was written; the earlier file stays.
  void discard();

 private:
  std::string target_;
  std::string path_;
  bool pending_;  // written under the incomplete name, not yet put in place or removed
};

// Flushes and closes, so that a write that fails only when the last buffer goes to disk
// is reported too (a failed flush is a bad state, a failed close a fail state).
void close_after_writing(std::ofstream& stream);
