// The virtual KS360's flash, kept on disk between runs: one file per 64 KiB chunk that
// was ever written, named after the chunk's start address in hexadecimal. A chunk with
// no file reads as erased flash (0xFF), so a region never written costs nothing.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace virtual_phone {

inline constexpr std::uint32_t chunk_bytes = 0x10000;

// The KS360's flash partitions as the phone lays them out, from STATIC_EEP to CAL_BACKUP.
// Rows overlap: EBL and SLB lie inside CLONE.
struct FlashRegion {
  std::uint32_t address;
  std::uint32_t size;
};
inline constexpr std::array<FlashRegion, 16> flash_regions{{
    {0x544FC000, 0x00008000},
    {0x54440000, 0x0000C000},
    {0x46680000, 0x00060000},
    {0x46600000, 0x00080000},
    {0x43100000, 0x03500000},
    {0x42900000, 0x00800000},
    {0x40000000, 0x00040000},
    {0x40000000, 0x000A0000},
    {0x38000000, 0x08400000},
    {0x30000000, 0x08400100},
    {0x18000000, 0x016E9000},
    {0x10000000, 0x014EB000},
    {0x08000000, 0x00EB1400},
    {0x0002B800, 0x00003C00},
    {0x00020000, 0x00004000},
    {0x00000050, 0x00008000},
}};

// One byte past the highest address of any partition: the flash spans [0, flash_end).
std::uint64_t flash_end();

// True when [address, address + length) lies inside the flash.
bool inside_flash(std::uint64_t address, std::uint64_t length);

// The folder that holds the chunk files: KORVANTA_VIRTUAL_PHONE when set, else
// "korvanta-virtual-phone" in the system's temporary folder.
std::filesystem::path flash_folder();

// Reads the flash in address order, keeping one chunk in memory at a time.
class FlashReader {
 public:
  explicit FlashReader(std::filesystem::path folder) : folder_(std::move(folder)) {}
  // Copies `length` bytes from `address` on; false (with `problem` set) when a chunk
  // file cannot be read whole.
  bool read(std::uint64_t address, char* out, std::uint32_t length, std::string& problem);

 private:
  bool load(std::uint64_t chunk_start, std::string& problem);
  std::filesystem::path folder_;
  std::uint64_t loaded_start_ = ~std::uint64_t{0};
  std::vector<char> chunk_;
};

// Writes `length` bytes at `address`: every chunk touched is read (or taken as erased),
// changed and written back whole. False, with `problem` set, when the folder or a chunk
// file cannot be written.
bool write_flash(const std::filesystem::path& folder, std::uint64_t address, const char* data,
                 std::uint32_t length, std::string& problem);

}  // namespace virtual_phone
