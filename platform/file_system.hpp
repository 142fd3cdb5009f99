// What the program asks the file system about files named by the technician. A name is
// typed as bytes and handed as those bytes to the C runtime and the vendor's libraries;
// every question about the same file goes through the path made here, so that it is
// asked about the file those open.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// The path of the file that the C runtime opens for `typed`. On POSIX the bytes as they
// stand; on Windows the bytes read in the ANSI code page, as the "A" functions read them
// (std::filesystem would read them as Latin-1).
std::filesystem::path typed_path(const std::string& typed);

}  // namespace platform
