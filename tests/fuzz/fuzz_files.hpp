// Files for the harnesses whose code under test reads and writes named files: one folder
// per fuzzing process, removed when the process ends normally.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fuzz_files {

namespace fs = std::filesystem;

class Folder {
 public:
  Folder() : path_(fs::temp_directory_path() / ("korvanta-fuzz-" + std::to_string(getpid()))) {
    fs::create_directories(path_);
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The process's folder, emptied: every input starts from the same state.
inline const fs::path& empty_folder() {
  static Folder folder;
  for (const auto& entry : fs::directory_iterator(folder.path())) fs::remove_all(entry.path());
  return folder.path();
}

inline void write_file(const fs::path& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
}

inline std::vector<std::uint8_t> read_file(const fs::path& path) {
  std::vector<std::uint8_t> bytes(fs::file_size(path));
  std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(bytes.data()), bytes.size());
  return bytes;
}

}  // namespace fuzz_files
