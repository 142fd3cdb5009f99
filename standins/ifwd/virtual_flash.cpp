#include "standins/ifwd/virtual_flash.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <system_error>

namespace virtual_phone {
namespace {

struct FileClose {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

std::filesystem::path chunk_path(const std::filesystem::path& folder, std::uint64_t chunk_start) {
  char name[24];
  std::snprintf(name, sizeof name, "%08llx.chunk", static_cast<unsigned long long>(chunk_start));
  return folder / name;
}

// The chunk as stored, or erased flash when it was never written.
bool load_chunk(const std::filesystem::path& folder, std::uint64_t chunk_start,
                std::vector<char>& chunk, std::string& problem) {
  chunk.assign(chunk_bytes, static_cast<char>(0xFF));
  const std::filesystem::path path = chunk_path(folder, chunk_start);
  File file(std::fopen(path.string().c_str(), "rb"));
  if (!file) return true;
  if (std::fread(chunk.data(), 1, chunk.size(), file.get()) != chunk.size()) {
    problem = "Flash chunk " + path.string() + " is damaged (shorter than 64 KiB)";
    return false;
  }
  return true;
}

}  // namespace

std::uint64_t flash_end() {
  std::uint64_t end = 0;
  for (const FlashRegion& entry : flash_regions) {
    end = std::max<std::uint64_t>(end, std::uint64_t{entry.address} + entry.size);
  }
  return end;
}

bool inside_flash(std::uint64_t address, std::uint64_t length) {
  return address <= flash_end() && length <= flash_end() - address;
}

std::filesystem::path flash_folder() {
  if (const char* chosen = std::getenv("KORVANTA_VIRTUAL_PHONE"); chosen && *chosen) {
    return chosen;
  }
  std::error_code error;
  std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  if (error) temporary = ".";
  return temporary / "korvanta-virtual-phone";
}

bool FlashReader::load(std::uint64_t chunk_start, std::string& problem) {
  if (chunk_start == loaded_start_) return true;
  loaded_start_ = ~std::uint64_t{0};
  if (!load_chunk(folder_, chunk_start, chunk_, problem)) return false;
  loaded_start_ = chunk_start;
  return true;
}

bool FlashReader::read(std::uint64_t address, char* out, std::uint32_t length,
                       std::string& problem) {
  while (length > 0) {
    const std::uint64_t chunk_start = address / chunk_bytes * chunk_bytes;
    if (!load(chunk_start, problem)) return false;
    const std::uint64_t offset = address - chunk_start;
    const std::uint32_t piece =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(length, chunk_bytes - offset));
    std::copy_n(chunk_.data() + offset, piece, out);
    address += piece;
    out += piece;
    length -= piece;
  }
  return true;
}

bool write_flash(const std::filesystem::path& folder, std::uint64_t address, const char* data,
                 std::uint32_t length, std::string& problem) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    problem = "Cannot create the flash folder " + folder.string() + ": " + error.message();
    return false;
  }
  std::vector<char> chunk;
  while (length > 0) {
    const std::uint64_t chunk_start = address / chunk_bytes * chunk_bytes;
    if (!load_chunk(folder, chunk_start, chunk, problem)) return false;
    const std::uint64_t offset = address - chunk_start;
    const std::uint32_t piece =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(length, chunk_bytes - offset));
    std::copy_n(data, piece, chunk.data() + offset);
    const std::filesystem::path path = chunk_path(folder, chunk_start);
    File file(std::fopen(path.string().c_str(), "wb"));
    if (!file || std::fwrite(chunk.data(), 1, chunk.size(), file.get()) != chunk.size() ||
        std::fclose(file.release()) != 0) {
      problem = "Cannot write flash chunk " + path.string();
      return false;
    }
    address += piece;
    data += piece;
    length -= piece;
  }
  return true;
}

}  // namespace virtual_phone
