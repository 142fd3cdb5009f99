// The upgrade library's KDZ extraction: unpacks both public KDZ layouts.
//
// A KDZ file starts with a little-endian header size and magic number, and the header
// holds the records of the files packed in it, each a NUL-padded name of 256 bytes, a
// size and an absolute offset:
//   header size 1304, magic 0x50447932: records of {name; u32 size; u32 offset}
//   header size 1320, magic 0x80253134: records of {name; u64 size; u64 offset}
// The records fill the header after its first 8 bytes; the first empty name ends them.
#pragma once

#include "standins/common/framework_string.hpp"

namespace standin {

// Writes every packed file into the folder "<KDZ name without extension>_extracted"
// beside the KDZ file. Every record is checked against the file's size and for a plain
// file name before anything is written. Returns the text for the caller: the folder and
// the files written, or what was wrong with the KDZ file. Never raises for a bad file.
CString extract_kdz(const char* kdz_path);

}  // namespace standin
