// What the program asks the file system about files named by the technician. A name is
// typed as bytes and handed as those bytes to the C runtime and the vendor's libraries;
// every question about the same file goes through the path made here, so that it is
// asked about the file those open.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// The path of the file that the C runtime opens for `typed`. On POSIX the bytes as they
// stand; on Windows the bytes read in the ANSI code page, as the "A" functions read them
// (std::filesystem would read them as Latin-1).
std::filesystem::path typed_path(const std::string& typed);

// What tells one file from every other, whatever name reaches it: device and inode on
// POSIX; on Windows the volume's serial number and the file's index, as the file system
// reports them for the opened file (another drive letter, a short 8.3 name or a hard link
// reach the same file).
// A file system whose file IDs say nothing (some network shares report 0 for every file)
// gives the file's full name as the system normalises it instead, in upper case.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index_high = 0;
  std::uint64_t index_low = 0;
  std::wstring name;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the file (or folder) that `typed` names, links followed; none when it
// names nothing that can be opened. Needs no access right to the file and lets others go
// on using it.
std::optional<FileIdentity> file_identity(const std::string& typed);

// Whether `typed` names something that is there and is not a regular file, links
// followed: a pipe, a device (/dev/zero, /dev/tty, "\\.\pipe\..." or a Windows device
// name) or a folder. A name that names nothing, or that the system says nothing of, is not
// one: the opening reports it.
bool names_irregular_file(const std::string& typed);

// Where the last part of a name begins: after the last separator (Windows: "\" or "/",
// or a drive's colon; POSIX: "/").
std::size_t leaf_start(const std::string& name);

// The local time, as "YYYYMMDD-HHMMSS": names that sort as their times do.
std::string local_time_stamp();

// Whether `typed` names a device instead of a file: on Windows one of its reserved device
// names (CON, AUX, COM1, ...), which open the device whatever the folder or extension. A
// POSIX system has no such names.
bool names_device(const std::string& typed);

}  // namespace platform
