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
