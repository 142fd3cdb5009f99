// The one place for the names of the files an action writes, reads and hands to a library,
// and the one way it writes a file that may take the place of an earlier one (a backup's
// data file and the names written beside it, G's image, K's pictures, L's animation).
// Modelled on Git's lock file: claim, write, then put in place, or discard.
//
// - Claim (the constructor): the target is the file that the system opens for the typed
//   name, whatever its spelling. It is written as "<target>.incomplete" beside it, held open
//   so that no other run of the program, and on Windows no other program, can open it
//   meanwhile. All that can be known before anything is written is checked then, before
//   the action talks to the phone or reads its first picture.
// - End: put_in_place() (a result that cannot take the target's place is kept under a name
//   that no run removes), put_in_place_after() where the action's rules keep what a failed
//   write left, or discard(). An object that goes without either discards.
//
// A target that is not a regular file (a device, a pipe, a folder) or is a link is written
// directly, as it stands, and never replaced or claimed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "platform/pending_file.hpp"

// Whether a file that is put in place reaches the disk first: one that cannot be had again
// (a backup's data file, an animation built from pictures, an image the phone is flashed
// with next), or one that can (a picture extracted again from its animation).
enum class Durability { flushed, cached };

// A file that a target must never be, nor its incomplete file (the sec-pack, a source being
// read), and the line that refuses such a target.
struct Guarded {
  const std::string& file;
  std::string refusal;
};

class TargetFile {
 public:
  // Claims the file that `typed` names. Raises a TextFailure that names the file and says
  // why when the name is refused (library_file), is one of `guards` or its incomplete file,
  // is written by another run, is read-only, held by another program or denied to this user,
  // when its folder takes no new file, its incomplete name is taken or holds what a run left
  // of a target now gone, or the name (or its kept name) is too long for the system. Raises a
  // StreamFailure (fail state) with a line that names it when its folder does not exist.
  TargetFile(const std::string& typed, Durability durability,
             std::initializer_list<Guarded> guards = {});
  ~TargetFile();
  TargetFile(TargetFile&&) noexcept;
  TargetFile& operator=(TargetFile&&) = delete;
  TargetFile(const TargetFile&) = delete;
  TargetFile& operator=(const TargetFile&) = delete;

  // The name the system opens (platform::system_name).
  const std::string& target() const { return target_; }

  // The stream to write to, unbuffered: a write the system refuses sets its bad state. A
  // target written directly is opened at the first call (the fail state when it cannot be).
  std::ostream& stream();
  // A C stream to write to, which the caller closes; nothing when the system gives none.
  std::FILE* open_stream();
  // Cuts what was written to `size` bytes; false when it cannot be done.
  bool cut_to(std::uint64_t size);

  // Puts the file in place of the target. Raises a TextFailure when the target cannot be
  // replaced: the line says why and under which name the new file is kept.
  void put_in_place();
  // Runs `write`, then puts the file in place. When `write` raises, what it wrote is put in
  // place all the same (removed when even that fails), and the failure goes on.
  template <typename Write>
  void put_in_place_after(Write write) {
    try {
      write();
    } catch (...) {
      put_partial_in_place();
      throw;
    }
    put_in_place();
  }
  // Removes what was written; the earlier file stays.
  void discard();

 private:
  struct Output;
  void put_partial_in_place() noexcept;

  std::string target_;
  Durability durability_;
  bool direct_ = false;  // not a regular file, or a link: written as it stands
  platform::PendingFile file_;
  std::unique_ptr<Output> output_;
  bool ended_ = false;
};

// The name under which `target` is written before it takes the target's place.
std::string incomplete_name(const std::string& target);

// Where a result that could not replace `target` is kept, made at the local time `stamp`, at
// the `attempt`-th try (from 1): "data.bin" gives "data.new-20261210-153012.bin", then
// "data.new-20261210-153012-2.bin". Names sort as the results' times do.
std::string kept_name(const std::string& target, const std::string& stamp, int attempt);

// Whether writing `target` would write over `file`: `file` is the target or its incomplete
// file, by what the file system says of the files (same_file).
bool writes_over(const std::string& target, const std::string& file);

// The typed name of a file that a library opens, once it is fit to hand over. Raises a
// TextFailure for one that holds a NUL character (every file call would end it there, at
// another file) or stands for a device (on Windows "aux.bin", "COM1", "nul").
const std::string& library_file(const std::string& typed);

// Opens a file that an action reads itself, as typed, for reading raw bytes, after
// library_file. One that names no regular file fails as a file that cannot be opened (a
// StreamFailure, fail state) before an opening that could wait for a writer or a typist.
std::ifstream open_typed_source(const std::string& name);

// Why a file that a library reads for an action cannot be read, or nothing: its name is
// refused (library_file), it is no regular file, or it is `being_written`.
std::optional<std::string> unreadable_source(const std::string& name,
                                             const TargetFile& being_written);
