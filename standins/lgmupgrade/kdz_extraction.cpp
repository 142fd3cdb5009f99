#include "standins/lgmupgrade/kdz_extraction.hpp"

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

namespace standin {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t name_size = 256;
constexpr std::size_t first_record = 8;
constexpr std::size_t copy_block = 1 << 20;

struct KdzLayout {
  std::uint32_t header_size;
  std::uint32_t magic;
  int number_width;  // bytes of each size and offset field
};

constexpr std::array<KdzLayout, 2> layouts{{{1304, 0x50447932, 4}, {1320, 0x80253134, 8}}};

struct PackedFile {
  std::string name;
  std::uint64_t size;
  std::uint64_t offset;
};

std::uint64_t read_le(const std::vector<unsigned char>& bytes, std::size_t at, int width) {
  std::uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes.at(at + i);
  return value;
}

std::string hex_bytes(const std::vector<unsigned char>& bytes) {
  std::string text;
  for (const unsigned char byte : bytes) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X", byte);
    text += (text.empty() ? "" : " ") + std::string(digits);
  }
  return text;
}

std::string hex_number(std::uint64_t value) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "0x%llX", static_cast<unsigned long long>(value));
  return digits;
}

// A name that stays inside the output folder: no separators, no drive, no "." or "..",
// no control characters.
bool is_plain_file_name(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name) {
    if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

// Raised inside this file only: the text is what the caller gets back.
struct Refusal {
  std::string text;
};

std::vector<unsigned char> read_at(std::ifstream& in, std::uint64_t offset, std::size_t count) {
  std::vector<unsigned char> bytes(count);
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  if (!in) throw Refusal{"Reading the KDZ file failed"};
  return bytes;
}

std::vector<PackedFile> read_records(std::ifstream& in, std::uint64_t file_size) {
  if (file_size < first_record) {
    throw Refusal{"The KDZ file is too short for a header: " + std::to_string(file_size) +
                  " bytes"};
  }
  const std::vector<unsigned char> start = read_at(in, 0, first_record);
  const std::uint64_t header_size = read_le(start, 0, 4);
  const std::uint64_t magic = read_le(start, 4, 4);
  const KdzLayout* layout = nullptr;
  for (const KdzLayout& known : layouts) {
    if (known.header_size == header_size && known.magic == magic) layout = &known;
  }
  if (!layout) {
    throw Refusal{"Unknown KDZ header: " + hex_bytes(start) + " (header size " +
                  std::to_string(header_size) + ", magic " + hex_number(magic) + ")"};
  }
  if (file_size < layout->header_size) {
    throw Refusal{"The KDZ file is truncated: its header needs " +
                  std::to_string(layout->header_size) + " bytes, the file has " +
                  std::to_string(file_size)};
  }
  const std::vector<unsigned char> header = read_at(in, 0, layout->header_size);
  const std::size_t record_size = name_size + 2 * static_cast<std::size_t>(layout->number_width);

  std::vector<PackedFile> files;
  std::set<std::string> names;
  for (std::size_t at = first_record; at + record_size <= header.size(); at += record_size) {
    const auto name_start = header.begin() + static_cast<std::ptrdiff_t>(at);
    std::string name(name_start, name_start + name_size);
    name.resize(name.find('\0') == std::string::npos ? name_size : name.find('\0'));
    if (name.empty()) break;
    const std::uint64_t size = read_le(header, at + name_size, layout->number_width);
    const std::uint64_t offset =
        read_le(header, at + name_size + layout->number_width, layout->number_width);
    const std::string which = "Record " + std::to_string(files.size() + 1) + " (\"" + name + "\")";
    if (!is_plain_file_name(name)) throw Refusal{which + " is not a plain file name"};
    if (!names.insert(name).second) throw Refusal{which + " repeats an earlier name"};
    if (offset > file_size || size > file_size - offset) {
      throw Refusal{which + " lies outside the file: offset " + std::to_string(offset) + ", size " +
                    std::to_string(size) + ", file size " + std::to_string(file_size)};
    }
    files.push_back({name, size, offset});
  }
  if (files.empty()) throw Refusal{"The KDZ file holds no files"};
  return files;
}

void copy_out(std::ifstream& in, const PackedFile& file, const fs::path& target) {
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  if (!out) throw Refusal{"Cannot create " + target.string()};
  in.seekg(static_cast<std::streamoff>(file.offset));
  std::vector<char> block(copy_block);
  for (std::uint64_t left = file.size; left > 0;) {
    const std::size_t count = left < copy_block ? static_cast<std::size_t>(left) : copy_block;
    in.read(block.data(), static_cast<std::streamsize>(count));
    if (!in) throw Refusal{"Reading the KDZ file failed"};
    out.write(block.data(), static_cast<std::streamsize>(count));
    if (!out) throw Refusal{"Writing " + target.string() + " failed"};
    left -= count;
  }
  out.close();
  if (!out) throw Refusal{"Writing " + target.string() + " failed"};
}

}  // namespace

std::string extract_kdz(const std::string& kdz_path) {
  try {
    const fs::path kdz(kdz_path);
    std::error_code error;
    const std::uint64_t file_size = fs::file_size(kdz, error);
    std::ifstream in(kdz, std::ios::binary);
    if (error || !in) return "Cannot open the KDZ file " + kdz_path;
    const std::vector<PackedFile> files = read_records(in, file_size);

    const fs::path folder = kdz.parent_path() / (kdz.stem().string() + "_extracted");
    fs::create_directories(folder, error);
    if (error) return "Cannot create the folder " + folder.string();
    std::string written;
    for (const PackedFile& file : files) {
      copy_out(in, file, folder / file.name);
      written += (written.empty() ? ": " : ", ") + file.name + " (" + std::to_string(file.size) +
                 " bytes)";
    }
    return "Wrote " + std::to_string(files.size()) + (files.size() == 1 ? " file" : " files") +
           " into " + folder.string() + written;
  } catch (const Refusal& refusal) {
    return refusal.text;
  } catch (const std::exception& failure) {
    return std::string("Extraction failed: ") + failure.what();
  }
}

}  // namespace standin
