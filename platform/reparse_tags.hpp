// Which reparse points of Windows stand for a file that the program may replace, as a rule
// of its own so that every platform's tests can check it with the tags themselves (wine
// makes no placeholders). Most reparse points are files of their own kept by a filter: a
// sync client's placeholder (OneDrive, and every other cloud-files provider), a
// deduplicated or compressed file. A link stands for another name (the tag's name
// surrogate bit: symbolic links, junctions, WSL's links), and WSL's sockets, pipes and
// devices are no regular files: those are written directly, as they stand.
#pragma once

#include <cstdint>

namespace platform {

inline constexpr std::uint32_t reparse_name_surrogate_bit = 0x20000000;
inline constexpr std::uint32_t reparse_tag_af_unix = 0x80000023;
inline constexpr std::uint32_t reparse_tag_lx_fifo = 0x80000024;
inline constexpr std::uint32_t reparse_tag_lx_chr = 0x80000025;
inline constexpr std::uint32_t reparse_tag_lx_blk = 0x80000026;

constexpr bool replaceable_reparse_tag(std::uint32_t tag) {
  if (tag & reparse_name_surrogate_bit) return false;
  return tag != reparse_tag_af_unix && tag != reparse_tag_lx_fifo && tag != reparse_tag_lx_chr &&
         tag != reparse_tag_lx_blk;
}

}  // namespace platform
