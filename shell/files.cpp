#include "shell/files.hpp"

#include "platform/file_system.hpp"
#include "shell/failure.hpp"

std::ifstream open_for_reading(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  check_stream(stream);
  return stream;
}

std::ofstream open_for_writing(const std::string& path) {
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
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

void close_after_writing(std::ofstream& stream) {
  stream.flush();
  check_stream(stream);
  stream.close();
  check_stream(stream);
}

bool same_file(const std::string& first, const std::string& second) {
  const auto identity = platform::file_identity(first);
  return identity && identity == platform::file_identity(second);
}

std::optional<std::string> typed_name_refusal(const std::string& name) {
  if (name.find('\0') != std::string::npos) {
    return "The typed name holds a NUL character, which no file name may hold.";
  }
  if (!platform::names_device(name)) return std::nullopt;
  return "The name '" + name + "' stands for a device, not a file.";
}

void refuse_unusable_name(const std::string& name) {
  if (auto refusal = typed_name_refusal(name)) fail(*refusal);
}

std::ifstream open_typed_source(const std::string& name) {
  refuse_unusable_name(name);
  if (platform::names_irregular_file(name)) throw StreamFailure(std::ios_base::failbit);
  return open_for_reading(name);
}
