// The phone's flash partitions: a fixed, built-in table of named address ranges.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct PartitionEntry {
  char name[16];  // upper-case ASCII, NUL-padded, at most 15 significant characters
  std::uint32_t address;
  std::uint32_t size;
};

// The rows in their fixed order; the extended transfer offers row p under the p-th letter.
inline constexpr std::array<PartitionEntry, 16> partition_table{{
    {"STATIC_EEP", 0x544FC000, 0x00008000},
    {"DYNAMIC_EEP", 0x54440000, 0x0000C000},
    {"CUST", 0x46680000, 0x00060000},
    {"DSP", 0x46600000, 0x00080000},
    {"CODE1", 0x43100000, 0x03500000},
    {"CODE2", 0x42900000, 0x00800000},
    {"EBL", 0x40000000, 0x00040000},
    {"SLB", 0x40000000, 0x000A0000},
    {"CLONE", 0x38000000, 0x08400000},
    {"PREFLASH", 0x30000000, 0x08400100},
    {"ROOT_DISK", 0x18000000, 0x016E9000},
    {"CUST_DISK", 0x10000000, 0x014EB000},
    {"USER_DISK", 0x08000000, 0x00EB1400},
    {"PSI", 0x0002B800, 0x00003C00},
    {"PSI_RAM", 0x00020000, 0x00004000},
    {"CAL_BACKUP", 0x00000050, 0x00008000},
}};

// The row at position 1 to partition_count.
inline constexpr std::size_t partition_count = partition_table.size();
const PartitionEntry& partition_at(std::size_t position);

// Address and size of the row whose name equals `name` exactly (case matters, no
// trimming, no prefix match); 0 when no row matches.
std::uint32_t partition_address(std::string_view name);
std::uint32_t partition_size(std::string_view name);
