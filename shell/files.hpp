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

// Creates the file, or empties an existing one, for writing raw bytes.
std::ofstream open_for_writing(const std::string& path);

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

// When a typed file name cannot be used, the text that says so; else nothing. Every name
// that the technician types for a file the program or a library opens is asked about
// first. A name that holds a NUL character would end there for every file call and reach
// another file ("b.<NUL>bin", its raw file and its incomplete file would all be "b.").
// A name that stands for a device rather than a file (on Windows "aux.bin", "COM1",
// "nul") is named in its text: an action reads or writes no such name.
std::optional<std::string> typed_name_refusal(const std::string& name);

// Raises the text above as a TextFailure when there is one.
void refuse_unusable_name(const std::string& name);

// Opens a file that an action reads itself, named as typed, for reading raw bytes: the
// name is refused first (refuse_unusable_name), and one that names no regular file
// (platform::names_irregular_file) is reported as a file that cannot be opened (a
// StreamFailure with the fail state), before an opening that could wait: opening a pipe
// waits for a writer, a terminal for a typist, a device never ends, and a folder opens as
// a file on some systems and fails only at its first read.
std::ifstream open_typed_source(const std::string& name);

// Flushes and closes, so that a write that fails only when the last buffer goes to disk
// is reported too (a failed flush is a bad state, a failed close a fail state).
void close_after_writing(std::ofstream& stream);
