// The raw read-back file of a backup: 16,384-byte blocks, page k of the range in the
// first 2,048 bytes of block k, filler after it. extract_pages turns it into the data
// file, which holds the pages alone.
#pragma once

#include <cstdint>
#include <string>

inline constexpr std::uint32_t page_bytes = 2048;
inline constexpr std::uint32_t read_back_block_bytes = 16384;

// The page limit of a forced backup: every whole page the raw file holds.
inline constexpr std::uint32_t whole_read_back = 0xFFFFFFFF;

class TargetFile;

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

// The same for a data file named here, claimed first (TargetFile's refusals).
void extract_pages(std::uint32_t page_limit, const std::string& data_file,
                   const std::string& raw_file);
