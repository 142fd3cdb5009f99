#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/pending_file.hpp"

namespace platform {

namespace {

int descriptor(std::intptr_t handle) {
  return static_cast<int>(handle);
}

FileOutcome outcome_of(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return FileOutcome::folder_refuses;
    case EISDIR:
      return FileOutcome::name_taken;
    case ENAMETOOLONG:
      return FileOutcome::name_too_long;
    case ENOENT:
    case ENOTDIR:
      return FileOutcome::missing_folder;
    default:
      return FileOutcome::failed;
  }
}

// The folder of a name, for the flush that makes a rename in it durable.
std::string folder_of(const std::string& name) {
  const auto slash = name.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : name.substr(0, slash);
}

void sync_folder(const std::string& name) {
  const int folder = ::open(folder_of(name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  ::fsync(folder);
  ::close(folder);
}

bool same_inode(const struct stat& first, const struct stat& second) {
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

std::string system_name(const std::string& typed) {
  return typed;
}

bool replaceable(const std::string& typed) {
  struct stat status {};
  if (::lstat(typed.c_str(), &status) != 0) return errno == ENOENT;
  return S_ISREG(status.st_mode);
}

bool name_fits(const std::string& typed) {
  if (typed.size() >= PATH_MAX) return false;
  for (std::size_t start = 0; start <= typed.size();) {
    const auto end = std::min(typed.find('/', start), typed.size());
    if (end - start > NAME_MAX) return false;
    start = end + 1;
  }
  return true;
}

namespace {

// No write bit at all is how a file is marked to keep, even for root, whom access() lets
// write anything.
bool writable(const std::string& name, const struct stat& status) {
  if ((status.st_mode & 0222) == 0) return false;
  if (status.st_uid == ::geteuid()) return (status.st_mode & S_IWUSR) != 0;
  return ::access(name.c_str(), W_OK) == 0;
}

}  // namespace

FileOutcome replacement_hindrance(const std::string& target) {
  struct stat status {};
  if (::stat(target.c_str(), &status) != 0) return FileOutcome::done;
  return writable(target, status) ? FileOutcome::done : FileOutcome::read_only;
}

void PendingFile::close() {
  if (is_open()) ::close(descriptor(handle_));
  handle_ = closed;
}

FileOutcome PendingFile::claim(const std::string& name, const std::string& target) {
  close();
  for (bool more_files_allowed = false;;) {
    const int file = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (file < 0) {
      const int error = errno;
      // K claims every picture at once: an animation of thousands of frames needs more open
      // files than a shell's usual soft limit of 1,024.
      if (error == EMFILE) {
        if (more_files_allowed) return FileOutcome::too_many_open;
        more_files_allowed = true;
        struct rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
          limit.rlim_cur = limit.rlim_max;
          if (::setrlimit(RLIMIT_NOFILE, &limit) == 0) continue;
        }
        return FileOutcome::too_many_open;
      }
      // A link is not ours to write through; a file we may not write is not ours either.
      struct stat named {};
      if (error == ELOOP || (error == EACCES && ::lstat(name.c_str(), &named) == 0)) {
        return FileOutcome::name_taken;
      }
      return outcome_of(error);
    }
    struct stat opened {};
    if (::fstat(file, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      ::close(file);
      return FileOutcome::name_taken;
    }
    if (::flock(file, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      ::close(file);
      return error == EWOULDBLOCK ? FileOutcome::claimed : FileOutcome::failed;
    }
    // The run that held the file may have renamed or removed it between our open and our
    // lock: the claim counts only for the file that still has the name.
    struct stat named {};
    if (::stat(name.c_str(), &named) != 0 || !same_inode(opened, named)) {
      ::close(file);
      continue;
    }
    struct stat earlier {};
    if (opened.st_size != 0 && ::lstat(target.c_str(), &earlier) != 0 && errno == ENOENT) {
      ::close(file);
      return FileOutcome::leftover;
    }
    if (opened.st_size != 0 && ::ftruncate(file, 0) != 0) {
      ::close(file);
      return FileOutcome::failed;
    }
    handle_ = file;
    name_ = name;
    claimed_ = true;
    return FileOutcome::done;
  }
}

FileOutcome PendingFile::open_directly(const std::string& name) {
  close();
  const int file = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (file < 0) return outcome_of(errno);
  handle_ = file;
  name_ = name;
  claimed_ = false;
  return FileOutcome::done;
}

bool PendingFile::write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(descriptor(handle_), data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

std::FILE* PendingFile::open_stream() {
  const int copy = ::fcntl(descriptor(handle_), F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return nullptr;
  std::FILE* stream = ::fdopen(copy, "wb");
  if (!stream) ::close(copy);
  return stream;
}

bool PendingFile::resize(std::uint64_t size) {
  return ::ftruncate(descriptor(handle_), static_cast<off_t>(size)) == 0 &&
         ::lseek(descriptor(handle_), 0, SEEK_END) >= 0;
}

FileOutcome PendingFile::replace_once(const std::string& target, bool durable) {
  struct stat earlier {};
  if (::stat(target.c_str(), &earlier) == 0) {
    // rename() would replace a file marked to keep; Windows refuses, and so do we.
    if (!writable(target, earlier)) return FileOutcome::read_only;
    if (::fchmod(descriptor(handle_), earlier.st_mode & 07777) != 0) return FileOutcome::failed;
  }
  if (durable && ::fsync(descriptor(handle_)) != 0) return FileOutcome::failed;
  if (std::rename(name_.c_str(), target.c_str()) != 0) return outcome_of(errno);
  // The new contents are in place whatever the folder's flush says: a rename that is not
  // yet on the disk leaves the earlier file, whole, after a power cut.
  if (durable) sync_folder(target);
  close();
  return FileOutcome::done;
}

FileOutcome move_file_once(const std::string& from, const std::string& to) {
  // A hard link never replaces a file of that name, as rename() would. A file system
  // without links (FAT) gets a rename after a look.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return FileOutcome::done;
  }
  if (errno == EEXIST) return FileOutcome::exists;
  if (errno == ENOENT) return FileOutcome::missing_folder;  // no `from`
  struct stat status {};
  if (::lstat(to.c_str(), &status) == 0) return FileOutcome::exists;
  return std::rename(from.c_str(), to.c_str()) == 0 ? FileOutcome::done : outcome_of(errno);
}

FileOutcome PendingFile::keep_as(const std::string& name) {
  const FileOutcome moved = move_file_once(name_, name);
  if (moved == FileOutcome::done) close();
  return moved;
}

void PendingFile::remove() {
  if (claimed_ && is_open()) ::unlink(name_.c_str());
  close();
}

}  // namespace platform
