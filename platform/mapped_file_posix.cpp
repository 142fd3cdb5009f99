#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

#include "platform/mapped_file.hpp"

namespace platform {

MappedFile::MappedFile(const std::string& path, std::uint64_t offset, std::size_t size) {
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return;
  struct stat status {};
  if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(file);
    return;
  }
  const auto file_size = static_cast<std::uint64_t>(status.st_size);
  if (offset > file_size || size > file_size - offset) {
    state_ = State::too_short;
  } else if (size == 0) {
    state_ = State::mapped;
  } else {
    // A mapping starts on a page boundary: the view takes the bytes before the range too.
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t start = offset / page * page;
    const auto lead = static_cast<std::size_t>(offset - start);
    int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
    // The whole view is entered at once: faulting it in page by page costs more than the
    // copy that writes it out.
    flags |= MAP_POPULATE;
#endif
    void* view = size > SIZE_MAX - lead ? MAP_FAILED
                                        : ::mmap(nullptr, lead + size, PROT_READ, flags, file,
                                                 static_cast<off_t>(start));
    if (view == MAP_FAILED) {
      state_ = State::cannot_map;
    } else {
      state_ = State::mapped;
      view_ = view;
      view_size_ = lead + size;
      data_ = static_cast<const char*>(view) + lead;
      size_ = size;
    }
  }
  ::close(file);  // the view keeps what it needs of the file
}

MappedFile::~MappedFile() {
  if (view_) ::munmap(view_, view_size_);
}

}  // namespace platform
