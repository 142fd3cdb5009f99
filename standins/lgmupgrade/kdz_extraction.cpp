#include "standins/lgmupgrade/kdz_extraction.hpp"

#include <stdint.h>

#include "standins/common/system.hpp"

namespace standin {
namespace {

constexpr size_t name_size = 256;
constexpr size_t first_record = 8;
constexpr size_t largest_header = 1320;
constexpr size_t largest_record_count = (largest_header - first_record) / (name_size + 8);
constexpr size_t copy_block = 1 << 20;

struct KdzLayout {
  uint32_t header_size;
  uint32_t magic;
  int number_width;  // bytes of each size and offset field
};

constexpr KdzLayout layouts[] = {{1304, 0x50447932, 4}, {1320, 0x80253134, 8}};

struct PackedFile {
  CString name;
  uint64_t size;
  uint64_t offset;
};

uint64_t read_le(const unsigned char* bytes, int width) {
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

CString hex_digits(uint64_t value, int digits) {
  CString text;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    text += "0123456789ABCDEF"[(value >> shift) & 0xF];
  }
  return text;
}

CString hex_bytes(const unsigned char* bytes, size_t count) {
  CString text;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += hex_digits(bytes[i], 2);
  }
  return text;
}

CString hex_number(uint64_t value) {
  int digits = 1;
  while (digits < 16 && (value >> (digits * 4)) != 0) ++digits;
  return CString("0x") + hex_digits(value, digits);
}

// A name that stays inside the output folder: no separators, no drive, no "." or "..",
// no control characters.
bool is_plain_file_name(const CString& name) {
  if (name.IsEmpty() || name == "." || name == "..") return false;
  for (int i = 0; i < name.GetLength(); ++i) {
    const char c = name.GetString()[i];
    if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

bool is_separator(char c) {
  return c == '/' || c == '\\';
}

// "<folder of the KDZ><name without extension>_extracted", and the separator to join
// names to it with.
CString output_folder(const char* kdz_path, char& separator) {
  const int length = static_cast<int>(text_length(kdz_path));
  int name_start = length;
  while (name_start > 0 && !is_separator(kdz_path[name_start - 1])) --name_start;
  separator = name_start > 0 && kdz_path[name_start - 1] == '\\' ? '\\' : '/';
  int stem_end = length;
  for (int i = length - 1; i > name_start; --i) {
    if (kdz_path[i] == '.') {
      stem_end = i;
      break;
    }
  }
  const bool dots_only =
      (length - name_start == 1 && kdz_path[name_start] == '.') ||
      (length - name_start == 2 && kdz_path[name_start] == '.' && kdz_path[name_start + 1] == '.');
  if (dots_only) stem_end = length;
  CString folder;
  for (int i = 0; i < stem_end; ++i) folder += kdz_path[i];
  return folder + "_extracted";
}

// Reads `count` bytes at `offset`; false, with `problem` set, when they are not there.
bool read_at(File& in, uint64_t offset, unsigned char* bytes, size_t count, CString& problem) {
  if (!in.seek(offset) || in.read(bytes, count) != count) {
    problem = "Reading the KDZ file failed";
    return false;
  }
  return true;
}

// The records of the header, checked against the file's size; false with `problem` set.
bool read_records(File& in, uint64_t file_size, PackedFile* files, size_t& count,
                  CString& problem) {
  count = 0;
  if (file_size < first_record) {
    problem = CString("The KDZ file is too short for a header: ") + decimal(file_size) + " bytes";
    return false;
  }
  unsigned char header[largest_header];
  if (!read_at(in, 0, header, first_record, problem)) return false;
  const uint64_t header_size = read_le(header, 4);
  const uint64_t magic = read_le(header + 4, 4);
  const KdzLayout* layout = nullptr;
  for (const KdzLayout& known : layouts) {
    if (known.header_size == header_size && known.magic == magic) layout = &known;
  }
  if (!layout) {
    problem = CString("Unknown KDZ header: ") + hex_bytes(header, first_record) + " (header size " +
              decimal(header_size) + ", magic " + hex_number(magic) + ")";
    return false;
  }
  if (file_size < layout->header_size) {
    problem = CString("The KDZ file is truncated: its header needs ") +
              decimal(layout->header_size) + " bytes, the file has " + decimal(file_size);
    return false;
  }
  if (!read_at(in, 0, header, layout->header_size, problem)) return false;
  const size_t width = static_cast<size_t>(layout->number_width);
  const size_t record_size = name_size + 2 * width;

  for (size_t at = first_record; at + record_size <= layout->header_size; at += record_size) {
    CString name;
    for (size_t i = 0; i < name_size && header[at + i] != 0; ++i) {
      name += static_cast<char>(header[at + i]);
    }
    if (name.IsEmpty()) break;
    const uint64_t size = read_le(header + at + name_size, layout->number_width);
    const uint64_t offset = read_le(header + at + name_size + width, layout->number_width);
    const CString which = CString("Record ") + decimal(count + 1) + " (" + quoted(name) + ")";
    if (!is_plain_file_name(name)) {
      problem = which + " is not a plain file name";
      return false;
    }
    for (size_t earlier = 0; earlier < count; ++earlier) {
      if (files[earlier].name == name.GetString()) {
        problem = which + " repeats an earlier name";
        return false;
      }
    }
    if (offset > file_size || size > file_size - offset) {
      problem = which + " lies outside the file: offset " + decimal(offset) + ", size " +
                decimal(size) + ", file size " + decimal(file_size);
      return false;
    }
    files[count++] = {name, size, offset};
  }
  if (count == 0) {
    problem = "The KDZ file holds no files";
    return false;
  }
  return true;
}

bool copy_out(File& in, const PackedFile& file, const CString& target, unsigned char* block,
              CString& problem) {
  File out = File::create(target.GetString());
  if (!out.is_open()) {
    problem = CString("Cannot create ") + target;
    return false;
  }
  if (!in.seek(file.offset)) {
    problem = "Reading the KDZ file failed";
    return false;
  }
  for (uint64_t left = file.size; left > 0;) {
    const size_t count = left < copy_block ? static_cast<size_t>(left) : copy_block;
    if (in.read(block, count) != count) {
      problem = "Reading the KDZ file failed";
      return false;
    }
    if (!out.write(block, count)) {
      problem = CString("Writing ") + target + " failed";
      return false;
    }
    left -= count;
  }
  if (!out.close()) {
    problem = CString("Writing ") + target + " failed";
    return false;
  }
  return true;
}

}  // namespace

CString extract_kdz(const char* kdz_path) {
  uint64_t file_size = 0;
  File in = File::open_for_reading(kdz_path);
  if (!regular_file_size(kdz_path, file_size) || !in.is_open()) {
    return CString("Cannot open the KDZ file ") + kdz_path;
  }
  PackedFile files[largest_record_count];
  size_t count = 0;
  CString problem;
  if (!read_records(in, file_size, files, count, problem)) return problem;

  char separator = '/';
  const CString folder = output_folder(kdz_path, separator);
  if (!make_folder(folder.GetString())) return CString("Cannot create the folder ") + folder;
  auto* block = static_cast<unsigned char*>(allocate(copy_block));
  if (!block) return "Extraction failed: out of memory";
  CString written;
  for (size_t i = 0; i < count && problem.IsEmpty(); ++i) {
    if (!copy_out(in, files[i], folder + separator + files[i].name, block, problem)) break;
    written += CString(written.IsEmpty() ? ": " : ", ") + files[i].name + " (" +
               decimal(files[i].size) + " bytes)";
  }
  release(block);
  if (!problem.IsEmpty()) return problem;
  return CString("Wrote ") + decimal(count) + (count == 1 ? " file" : " files") + " into " +
         folder + written;
}

}  // namespace standin
