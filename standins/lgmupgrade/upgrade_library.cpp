// Stand-in for the phone maker's upgrade library LGMUpgradeDL.dll, built from what the
// program expects of it. The entry points are placed by code_layout.s; these are the
// routines behind them.
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/cstring.hpp"
#include "standins/common/test_controls.hpp"
#include "standins/lgmupgrade/kdz_extraction.hpp"

namespace {

using platform::CString;
using standin::log_line;
using standin::quoted;

constexpr std::size_t parameter_count = 21;
// Positions (from 0) of the parameters that the upgrade reads.
constexpr std::size_t cab_file = 11;
constexpr std::size_t software_version = 12;
constexpr std::size_t phone_model = 13;
constexpr std::size_t flash_block = 16 * 1024;

// The caller keeps the texts alive until the upgrade has run, so the pointers are kept.
std::array<const char*, parameter_count> parameters{};
bool parameters_set = false;

const standin::LifetimeLog lifetime("LGMUpgradeDL.dll");

// Writes the CAB file's contents to the virtual phone, block by block: into the file
// assistant-upgrade.bin of the virtual phone's folder (KORVANTA_VIRTUAL_PHONE, the folder
// the download library's stand-in keeps its flash in) when one is named, nowhere
// otherwise. Returns the bytes flashed.
std::uint64_t flash_virtual_phone(std::ifstream& cab) {
  std::ofstream phone;
  if (const char* folder = std::getenv("KORVANTA_VIRTUAL_PHONE"); folder && *folder) {
    std::error_code ignored;  // a folder that cannot be made leaves the file unopened
    std::filesystem::create_directories(folder, ignored);
    phone.open(std::filesystem::path(folder) / "assistant-upgrade.bin",
               std::ios::binary | std::ios::trunc);
  }
  std::vector<char> block(flash_block);
  std::uint64_t flashed = 0;
  while (cab.read(block.data(), static_cast<std::streamsize>(block.size())) || cab.gcount() > 0) {
    if (phone.is_open()) phone.write(block.data(), cab.gcount());
    flashed += static_cast<std::uint64_t>(cab.gcount());
  }
  return flashed;
}

}  // namespace

extern "C" int lgm_set_param(const char* p1, const char* p2, const char* p3, const char* p4,
                             const char* p5, const char* p6, const char* p7, const char* p8,
                             const char* p9, const char* p10, const char* p11, const char* p12,
                             const char* p13, const char* p14, const char* p15, const char* p16,
                             const char* p17, const char* p18, const char* p19, const char* p20,
                             const char* p21) {
  parameters = {p1,  p2,  p3,  p4,  p5,  p6,  p7,  p8,  p9,  p10, p11,
                p12, p13, p14, p15, p16, p17, p18, p19, p20, p21};
  std::string line = "SetParam(";
  for (std::size_t i = 0; i < parameter_count; ++i) {
    line += (i ? ", " : "") + (parameters[i] ? quoted(parameters[i]) : std::string("null"));
  }
  log_line(line + ")");
  if (standin::act_out_fault("SetParam")) return 0;
  parameters_set = true;
  return 1;
}

extern "C" void lgm_start_upgrade() {
  log_line("dll_StartUpgrade()");
  if (standin::act_out_fault("dll_StartUpgrade")) {
    log_line("upgrade failed");
    return;
  }
  if (!parameters_set) {
    log_line("upgrade refused: no parameters set");
    return;
  }
  const std::string cab = parameters[cab_file] ? parameters[cab_file] : "";
  std::ifstream file(std::filesystem::path(cab), std::ios::binary);
  if (cab.empty() || !file) {
    log_line("upgrade refused: CAB file " + quoted(cab) + " not found");
    return;
  }
  const std::uint64_t flashed = flash_virtual_phone(file);
  log_line("flashed " + std::to_string(flashed) + " bytes from " + quoted(cab) + " on a " +
           quoted(parameters[phone_model]) + " to version " + quoted(parameters[software_version]));
}

extern "C" void lgm_extract_kdz(CString* result, CString kdz_path) {
  log_line("kdz_extraction(" + quoted(kdz_path.c_str()) + ")");
  *result = ("Extraction of " + std::string(kdz_path.c_str()) + " did not finish").c_str();
  if (standin::act_out_fault("kdz_extraction")) {
    *result = ("Extraction of " + std::string(kdz_path.c_str()) + " failed").c_str();
    return;
  }
  *result = standin::extract_kdz(kdz_path.c_str()).c_str();
}
