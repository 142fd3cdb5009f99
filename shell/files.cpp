#include "shell/files.hpp"

#include "platform/file_system.hpp"
#include "shell/failure.hpp"

std::ifstream open_for_reading(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  check_stream(stream);
  return stream;
}

void check_stream(const std::ios& stream) {
  if (stream.rdstate() != std::ios_base::goodbit) throw StreamFailure(stream.rdstate());
}

void read_exact(std::istream& stream, char* data, std::size_t size) {
  stream.read(data, static_cast<std::streamsize>(size));
  check_stream(stream);
}

void write_all(std::ostream& stream, const char* data, std::size_t size) {
  stream.write(data, static_cast<std::streamsize>(size));
  check_stream(stream);
}

void seek_to(std::istream& stream, std::streamoff position) {
  stream.seekg(position, std::ios::beg);
  check_stream(stream);
}

std::uint64_t stream_size(std::istream& stream) {
  stream.seekg(0, std::ios::end);
  const std::streamoff end = stream.tellg();
  check_stream(stream);
  seek_to(stream, 0);
  return static_cast<std::uint64_t>(end);
}

bool same_file(const std::string& first, const std::string& second) {
  const auto identity = platform::file_identity(first);
  return identity && identity == platform::file_identity(second);
}
