// Stand-in for the phone maker's upgrade library LGMUpgradeDL.dll, declared from what the
// library is known to take, not from the program's headers. The entry points are placed
// by code_layout.s; these are the routines behind them.
#include <stdint.h>

// The ABI's own way of passing a CString: abi_msvc/ or abi_itanium/, chosen by the build.
#include "standins/common/system.hpp"
#include "standins/common/test_controls.hpp"
#include "standins/lgmupgrade/kdz_extraction.hpp"
#include "string_argument.hpp"

using standin::log_line;
using standin::quoted;

const char* const standin::library_file_name = "LGMUpgradeDL.dll";

namespace {

constexpr int parameter_count = 21;
// Positions (from 0) of the parameters that the upgrade reads.
constexpr int cab_file = 11;
constexpr int software_version = 12;
constexpr int phone_model = 13;
constexpr size_t flash_block = 16 * 1024;

// The caller keeps the texts alive until the upgrade has run, so the pointers are kept.
const char* parameters[parameter_count] = {};
bool parameters_set = false;

// The virtual phone's file for an upgrade, in the folder KORVANTA_VIRTUAL_PHONE (made, with
// its parents, when missing); empty when no folder is named.
CString phone_file() {
  const CString folder = standin::environment("KORVANTA_VIRTUAL_PHONE");
  if (folder.IsEmpty()) return folder;
  CString path;
  for (int i = 0; i < folder.GetLength(); ++i) {
    const char c = folder.GetString()[i];
    if ((c == '/' || c == '\\') && i > 0) standin::make_folder(path.GetString());
    path += c;
  }
  standin::make_folder(path.GetString());
  return path + "/assistant-upgrade.bin";
}

// Writes the CAB file's contents to the virtual phone, block by block: into the file
// assistant-upgrade.bin of the virtual phone's folder (KORVANTA_VIRTUAL_PHONE, the folder
// the download library's stand-in keeps its flash in) when one is named, nowhere
// otherwise. Gives the bytes flashed.
uint64_t flash_virtual_phone(standin::File& cab) {
  standin::File phone = standin::File::create(phone_file().GetString());
  auto* block = static_cast<char*>(standin::allocate(flash_block));
  uint64_t flashed = 0;
  for (size_t count; block && (count = cab.read(block, flash_block)) > 0;) {
    phone.write(block, count);
    flashed += count;
  }
  standin::release(block);
  return flashed;
}

CString text_or_null(const char* text) {
  return text ? quoted(text) : CString("null");
}

}  // namespace

extern "C" int lgm_set_param(const char* p1, const char* p2, const char* p3, const char* p4,
                             const char* p5, const char* p6, const char* p7, const char* p8,
                             const char* p9, const char* p10, const char* p11, const char* p12,
                             const char* p13, const char* p14, const char* p15, const char* p16,
                             const char* p17, const char* p18, const char* p19, const char* p20,
                             const char* p21) {
  const char* const given[parameter_count] = {p1,  p2,  p3,  p4,  p5,  p6,  p7,  p8,  p9,  p10, p11,
                                              p12, p13, p14, p15, p16, p17, p18, p19, p20, p21};
  CString line = "SetParam(";
  for (int i = 0; i < parameter_count; ++i) {
    parameters[i] = given[i];
    line += CString(i ? ", " : "") + text_or_null(given[i]);
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
  const CString cab = parameters[cab_file] ? parameters[cab_file] : "";
  standin::File file = standin::File::open_for_reading(cab.GetString());
  if (!file.is_open()) {
    log_line(CString("upgrade refused: CAB file ") + quoted(cab) + " not found");
    return;
  }
  const uint64_t flashed = flash_virtual_phone(file);
  log_line(CString("flashed ") + standin::decimal(flashed) + " bytes from " + quoted(cab) +
           " on a " + quoted(parameters[phone_model]) + " to version " +
           quoted(parameters[software_version]));
}

// Writes the result through the caller's string: the first write forks the caller's
// (shared, empty) buffer, the later ones grow it, all through the caller's manager.
// In the mode "by_value" it is instead an entry `CString f(CString)`, whose hidden return
// slot comes first: it constructs the result there with this library's own manager.
extern "C" void lgm_extract_kdz(CString* result, CStringArg kdz_argument) {
  const CString& kdz_path = received(kdz_argument);
  log_line(CString("kdz_extraction(") + quoted(kdz_path) + ")");
  if (standin::mode_is("kdz_extraction", "by_value")) {
    standin::extract_kdz(kdz_path.GetString()).ConstructIn(result);
    return;
  }
  *result = "Extraction of ";
  *result += kdz_path;
  *result += " did not finish";
  if (standin::act_out_fault("kdz_extraction")) {
    *result = CString("Extraction of ") + kdz_path + " failed";
    return;
  }
  *result = standin::extract_kdz(kdz_path.GetString());
}
