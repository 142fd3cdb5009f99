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
  read_only,       // read-only attribute (Windows), no write permission (POSIX)
  folder_refuses,  // the folder takes no new file
  name_taken,      // the name is a folder or something else that is no regular file
  name_too_long,   // longer than the system's limit for a name or a path
  exists,          // keep_as: a file of that name is there already
  missing_folder,  // the folder does not exist
  failed,          // anything else: a write, a flush or a rename the system refused
};

// Whether `typed` names nothing, or a regular file that is no link: a file that can be
// replaced by another. A folder, a device, a pipe or a link is written directly instead.
bool replaceable(const std::string& typed);

// Whether the name fits the system's limit for the ANSI file functions that the vendor's
// libraries and other programs use: on Windows 259 characters of the full path (the typed
// name with the current folder before it, when it is relative); on POSIX each part at most
// NAME_MAX bytes and the whole shorter than PATH_MAX.
bool name_fits(const std::string& typed);

// What keeps an existing file from being replaced, seen before anything is written:
// read_only, or held (Windows: open in another program without delete sharing, found by
// opening it with the access a replacement needs). done when nothing does, or when there
// is no file.
FileOutcome replacement_hindrance(const std::string& target);

class PendingFile {
 public:
  PendingFile() = default;
  ~PendingFile();  // releases the claim; the file stays where it is
  PendingFile(PendingFile&& other) noexcept;
  PendingFile& operator=(PendingFile&& other) noexcept;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Creates the file `name`, or takes one that an earlier run left, and claims it; the file
  // is empty afterwards. claimed when another run holds it: nothing of it is touched then.
  FileOutcome claim(const std::string& name);

  // Opens `name` for writing as it is, emptied, without a claim: a device or a pipe that
  // an action writes directly.
  FileOutcome open_directly(const std::string& name);

  bool is_open() const { return handle_ != closed; }

  // Appends `size` bytes; false when the system wrote fewer.
  bool write(const char* data, std::size_t size);

  // A C stream that appends to the file, for a library that writes through one; the caller
  // closes it, the claim stays. Nothing when the system gives none.
  std::FILE* open_stream();

  // The file's size, and cutting it to `size` bytes.
  std::optional<std::uint64_t> size() const;
  bool resize(std::uint64_t size);

  // Renames the file over `target`, which then has the new contents and keeps its hidden
  // and system attributes (Windows) or its permissions (POSIX). With `durable`, the
  // contents reach the disk first, and the rename after them: after a power cut `target` is
  // the earlier file or the new one, whole. read_only when the target is read-only (also
  // where the system would replace it anyway), held while another program holds it (worth
  // another try); the file stays under its name and claimed on any failure, and is released
  // on success.
  FileOutcome replace(const std::string& target, bool durable);

  // Renames the file to `name`, which must not exist yet (exists then), and releases it.
  FileOutcome keep_as(const std::string& name);

  // Removes the file and releases it.
  void remove();

 private:
  void close();

  static constexpr std::intptr_t closed = -1;
  std::intptr_t handle_ = closed;  // the descriptor, or the system's handle
  std::string name_;
  bool claimed_ = false;
};

}  // namespace platform
