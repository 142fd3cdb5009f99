// Small file helpers for the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

Bytes read_bytes(const std::filesystem::path& path);
std::string read_text(const std::filesystem::path& path);
void write_bytes(const std::filesystem::path& path, const Bytes& bytes);
void write_text(const std::filesystem::path& path, const std::string& text);

// Appends `value` little-endian in `width` bytes.
void put_le(Bytes& bytes, std::uint64_t value, int width);

// Sets an environment variable of the test process (an empty value clears its effect
// for the stand-ins, which treat empty as unset).
void set_environment(const std::string& name, const std::string& value);

// A fresh, empty folder that is removed with everything in it when the object goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace testing_support
