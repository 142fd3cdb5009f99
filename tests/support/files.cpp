#include "tests/support/files.hpp"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <list>
#include <random>
#include <stdexcept>

namespace testing_support {

Bytes read_bytes(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw std::runtime_error("cannot read " + path.string());
  return Bytes(std::istreambuf_iterator<char>(stream), {});
}

std::string read_text(const std::filesystem::path& path) {
  const Bytes bytes = read_bytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void write_bytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  if (!stream) throw std::runtime_error("cannot write " + path.string());
}

void set_environment(const std::string& name, const std::string& value) {
  // putenv keeps the very text it is given; a list never moves its elements.
  static std::list<std::string> settings;
  settings.push_back(name + "=" + value);
  putenv(settings.back().data());
}

void write_text(const std::filesystem::path& path, const std::string& text) {
  write_bytes(path, Bytes(text.begin(), text.end()));
}

void put_le(Bytes& bytes, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

ScratchFolder::ScratchFolder() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (;;) {
    path_ = std::filesystem::temp_directory_path() / ("korvanta-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(path_)) return;
  }
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace testing_support
