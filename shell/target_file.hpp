// The one way an action writes a file that may take the place of an earlier one: a
// backup's data file, G's image, each of K's pictures, L's animation. Modelled on Git's
// lock file: claim, write, put in place, discard.
//
// - Claim (the constructor): the target is this run's until the object goes; the file is
//   written as "<target>.incomplete" beside it, held open so that no other run of the
//   program, and on Windows no other program, can open it meanwhile. What can be known
//   before anything is written is checked then, so that an action can claim its target
//   before it talks to the phone or reads its first picture.
// - Write: stream() or open_stream().
// - Put in place: the new file replaces the target whole, keeping its attributes; another
//   program holding the target for a moment (a scanner, a preview) is waited for. A result
//   that still cannot take the target's place is kept under a name that no run removes.
// - Discard, or an action that ends by a failure: see the destructor.
//
// A target that is not a regular file (a device, a pipe, a folder) or is a link is written
// directly, as it stands, and never replaced or claimed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>

#include "platform/pending_file.hpp"

// Whether a file that is put in place reaches the disk first: one that cannot be had again
// (a backup's data file, an animation built from pictures), or one that can (a picture
// extracted again from its animation, an image from its container).
enum class Durability { flushed, cached };

class TargetFile {
 public:
  // Claims `target`. Raises a TextFailure that names the file when another run of the
  // program writes it, when it is read-only or open in another program without delete
  // sharing, when its folder takes no new file, when its temporary name is something that
  // is not the program's, or when the name does not fit the system's limit. A file that
  // cannot be made at all (its folder does not exist) fails only when it is written, as a
  // file that cannot be opened does; creatable() tells beforehand.
  TargetFile(std::string target, Durability durability);
  // An object whose writing began and that was neither put in place nor discarded (an
  // action that reports a failure) puts in place what was written, when it can, and
  // otherwise removes it. One whose writing never began removes its temporary file: the
  // earlier file stays as it was.
  ~TargetFile();
  TargetFile(TargetFile&&) noexcept;
  TargetFile& operator=(TargetFile&&) = delete;
  TargetFile(const TargetFile&) = delete;
  TargetFile& operator=(const TargetFile&) = delete;

  const std::string& target() const { return target_; }
  // Whether the file could be made: false when its folder does not exist.
  bool creatable() const;

  // The stream to write to, unbuffered: a write the system refuses sets its bad state.
  // Begins the writing. Raises the stream failure of a file that cannot be opened (fail
  // state) when it could not be made.
  std::ostream& stream();
  // A C stream to write to, which the caller closes; nothing when the system gives none.
  // Begins the writing.
  std::FILE* open_stream();
  // Cuts what was written to `size` bytes; false when it cannot be done.
  bool cut_to(std::uint64_t size);

  // Puts the file in place of the target. Raises a TextFailure when the target cannot be
  // replaced: the line says why and under which name the new file is kept.
  void put_in_place();
  // Removes what was written; the earlier file stays.
  void discard();

 private:
  struct Output;

  std::string target_;
  Durability durability_;
  bool direct_ = false;  // not a regular file, or a link: written as it stands
  platform::PendingFile file_;
  std::unique_ptr<Output> output_;
  bool begun_ = false;
  bool ended_ = false;
};

// The name under which `target` is written before it takes the target's place:
// "<target>.incomplete" beside it, or, when that name would be longer than a file system
// takes, a shorter one of the same ending.
std::string incomplete_name(const std::string& target);

// Where a result is kept that could not replace its target, at the `attempt`-th try (from
// 1) to find a name that no file has: "<name>.new<extension>", then "<name>.new2<extension>"
// and so on ("data.bin" gives "data.new.bin", "data.new2.bin").
std::string kept_name(const std::string& target, int attempt);

// Whether writing `target` would write over `file`: `file` is the target or its incomplete
// file (same_file).
bool writes_over(const std::string& target, const std::string& file);
