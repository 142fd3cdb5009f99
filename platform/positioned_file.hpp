// A file read at chosen offsets, each read one system call that leaves no file position
// behind: the backup conversion takes one page from every 16 KiB block of its raw file
// this way, where a stream would need a seek and a read per page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

class PositionedFile {
 public:
  // Opens an existing file for reading; is_open() tells whether that worked. The file is
  // closed with the object.
  explicit PositionedFile(const std::string& path);
  ~PositionedFile();
  PositionedFile(const PositionedFile&) = delete;
  PositionedFile& operator=(const PositionedFile&) = delete;

  bool is_open() const { return handle_ != closed; }

  // Reads `size` bytes from `offset` into `data`, fewer only where the file ends first
  // (none at or past its end). Returns the count read, or no value on a read error or a
  // file that is not open.
  std::optional<std::size_t> read_at(std::uint64_t offset, char* data, std::size_t size);

 private:
  static constexpr std::intptr_t closed = -1;
  std::intptr_t handle_;  // the descriptor, or the system's handle
};

}  // namespace platform
