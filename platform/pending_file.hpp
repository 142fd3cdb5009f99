// A file being written beside the file it is to replace, and the program's claim on both:
// while a PendingFile holds its file open, no other run of the program can hold the same
// one, and the claim ends with the process however it ends (a kill, a crash, a power cut),
// so that no stale lock is ever left to remove by hand. POSIX: an flock on the open file;
// Windows: the file opened with no sharing at all, which also keeps every other program
// from opening it.
//
// Names are typed names (typed_path). On Windows every call here takes long paths, so that
// a temporary name beside a target of 259 characters still works.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace platform {

// What came of a call, in the terms the technician is told.
enum class FileOutcome {
  done,
  claimed,         // another run of the program holds the file
  held,            // another program has it open in a way that keeps it from being replaced
  denied,          // the file's own access rights keep this user from replacing it
  read_only,       // read-only attribute (Windows), no write permission (POSIX)
  folder_refuses,  // the folder takes no new file
  name_taken,      // the name is a folder or something else that is no regular file
  name_too_long,   // longer than the system's limit for a name or a path
  leftover,        // claim: a file that an earlier run left, whose target is gone
  too_many_open,   // claim: the process may hold no more open files
  exists,          // keep_as, move_file: a file of that name is there already
  missing_folder,  // the folder does not exist
  failed,          // anything else: a write, a flush or a rename the system refused
};

// The name that the system itself opens for `typed`, in the typed bytes: on Windows the
// last part without the trailing dots and spaces and the "::$DATA" that Windows drops, and
// in its long form when it is the 8.3 short name of a file that is there; on POSIX `typed`
// as it stands. Every spelling of one file in one folder gives one such name, so names made
// from it ("<name>.incomplete") are one file too.
std::string system_name(const std::string& typed);

// Whether `typed` names nothing, or a file that can be replaced by another: a regular file,
// also one that a sync client keeps as a placeholder (Windows: any reparse point but a link
// or a special file, reparse_tags.hpp). A folder, a device, a pipe or a link is written
// directly instead.
bool replaceable(const std::string& typed);

// Whether the name fits the system's limit for the ANSI file functions that the vendor's
// libraries and other programs use: on Windows 259 characters of the full path (the typed
// name with the current folder before it, when it is relative); on POSIX each part at most
// NAME_MAX bytes and the whole shorter than PATH_MAX.
bool name_fits(const std::string& typed);

// What keeps an existing file from being replaced, seen before anything is written:
// read_only, held (Windows: open in another program without delete sharing, found by
// opening it with the access a replacement needs) or denied (Windows: its access rights).
// done when nothing does, or when there is no file.
FileOutcome replacement_hindrance(const std::string& target);

// Renames `from` to `to`, which must not exist (exists then), waiting as replace() does
// for another program that holds `from` for a moment.
FileOutcome move_file(const std::string& from, const std::string& to);

class PendingFile {
 public:
  PendingFile() = default;
  ~PendingFile();  // releases the claim; the file stays where it is
  PendingFile(PendingFile&& other) noexcept;
  PendingFile& operator=(PendingFile&& other) noexcept;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Creates the file `name`, or takes one that an earlier run left, and claims it; the file
  // is empty afterwards. claimed when another run holds it, leftover when an earlier run
  // left it with something in it and `target` is gone (it may be that run's whole result,
  // renamed only halfway on a file system that replaces by a removal and a rename): nothing
  // of it is touched then. Raises the limit of open files when it is what stops the claim.
  FileOutcome claim(const std::string& name, const std::string& target);

  // Opens `name` for writing as it is, emptied, without a claim: a device or a pipe that
  // an action writes directly.
  FileOutcome open_directly(const std::string& name);

  bool is_open() const { return handle_ != closed; }

  // Appends `size` bytes; false when the system wrote fewer.
  bool write(const char* data, std::size_t size);

  // A C stream that appends to the file, for a library that writes through one; the caller
  // closes it, the claim stays. Nothing when the system gives none.
  std::FILE* open_stream();

  // Cuts the file to `size` bytes.
  bool resize(std::uint64_t size);

  // Renames the file over `target`, which then has the new contents and keeps its hidden
  // and system attributes (Windows) or its permissions (POSIX). With `durable`, the
  // contents reach the disk first, and the rename after them: after a power cut `target` is
  // the earlier file or the new one, whole. Another program that holds the target is waited
  // for, 2 seconds at most (a scanner or a preview opens a new file for well under a second;
  // Go's robustio waits as long); held, denied or read_only then (read_only also where the
  // system would replace it anyway). The file stays under its name and claimed on any
  // failure, and is released on success.
  FileOutcome replace(const std::string& target, bool durable);

  // Renames the file to `name`, which must not exist yet (exists then), and releases it.
  FileOutcome keep_as(const std::string& name);

  // Removes the file and releases it.
  void remove();

 private:
  FileOutcome replace_once(const std::string& target, bool durable);
  void close();

  static constexpr std::intptr_t closed = -1;
  std::intptr_t handle_ = closed;  // the descriptor, or the system's handle
  std::string name_;
  bool claimed_ = false;
};

// The platform's half of move_file: one attempt.
FileOutcome move_file_once(const std::string& from, const std::string& to);

}  // namespace platform
