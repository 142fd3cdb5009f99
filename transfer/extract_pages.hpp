// The files of a backup. The raw read-back file: 16,384-byte blocks, page k of the range in
// the first 2,048 bytes of block k, filler after it, which the library writes beside the data
// file. extract_pages turns it into the data file, which holds the pages alone.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "shell/target_file.hpp"

inline constexpr std::uint32_t page_bytes = 2048;
inline constexpr std::uint32_t read_back_block_bytes = 16384;

// The page limit of a forced backup: every whole page the raw file holds.
inline constexpr std::uint32_t whole_read_back = 0xFFFFFFFF;

// Copies the whole pages of `page_limit` bytes (a partial last page is dropped) from the
// raw file into the data file, reading one page at a time at its block's offset; at most
// 64 KiB of pages are held. The data file, claimed by the caller, is put in place when the
// copy ends, flushed to disk, also when it fails (with the pages written before), and
// emptied when the raw file turns out to be missing; an earlier data file stays whole
// while the copy runs. Raises a StreamFailure when the raw file is missing, the data file
// cannot be written, or the raw file ends before the last page; the data file keeps every
// page written before. With the limit `whole_read_back` the end of the raw file ends the
// copy normally after its last whole page. Raises a TextFailure when the data file cannot
// take the earlier one's place (TargetFile::put_in_place).
void extract_pages(std::uint32_t page_limit, TargetFile& data_file, const std::string& raw_file);

// Every file a backup writes, claimed for this run before the port opens: the data file, the
// raw file ("<data file>.big") and, for a forced backup, the name it sets an earlier raw file
// aside under. A second run that asks for any of them is refused before it talks to its phone.
// None of them may be the sec-pack file, which belongs to one phone and is hard to get again.
class BackupFiles {
 public:
  // Claims the files (TargetFile's refusals, or "The backup would overwrite the sec-pack
  // file"); then, for a forced backup, an earlier raw file that an interrupted one left set
  // aside goes back under its own name, or a TextFailure leaves the choice to the technician.
  BackupFiles(const std::string& data_file, const std::string& sec_pack, bool force);

  // The name the library writes the raw file under.
  const std::string& raw_file() const { return raw_file_; }
  // The data file gets `page_limit` bytes of pages of the raw file (extract_pages).
  void convert(std::uint32_t page_limit) { extract_pages(page_limit, data_, raw_file_); }
  // A forced backup, whose upload's result says nothing: `upload` runs while an earlier raw
  // file is set aside (a TextFailure names both files when it cannot be). With no raw file
  // afterwards, the data file is put in place empty and failure() is raised; else it gets
  // every whole page. The earlier raw file then goes, or comes back when there is no new one
  // (stays set aside when neither can be done).
  void receive_whole(const std::function<void()>& upload,
                     const std::function<std::string()>& failure);

 private:
  std::string raw_file_;
  Guarded sec_pack_guard_;
  TargetFile data_;
  TargetFile raw_;  // claimed, never written here: the library writes the raw file itself
  std::optional<TargetFile> set_aside_;
};
