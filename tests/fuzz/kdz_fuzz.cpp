// Fuzz harness of the KDZ unpacking of the upgrade-library stand-in: any bytes as a KDZ
// file. It answers with a text for every file, and writes nothing outside its own
// "<name>_extracted" folder beside the KDZ file, where it writes plain files only. The KDZ
// file itself is left as it was.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "standins/lgmupgrade/kdz_extraction.hpp"
#include "tests/fuzz/fuzz_files.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto& folder = fuzz_files::empty_folder();
  fuzz_files::write_file(folder / "firmware.kdz", data, size);
  if (standin::extract_kdz((folder / "firmware.kdz").string().c_str()).IsEmpty()) std::abort();
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const auto name = entry.path().filename();
    if (name != "firmware.kdz" && name != "firmware_extracted") std::abort();
  }
  if (fuzz_files::read_file(folder / "firmware.kdz") != std::vector(data, data + size)) {
    std::abort();
  }
  if (std::filesystem::exists(folder / "firmware_extracted")) {
    for (const auto& entry : std::filesystem::directory_iterator(folder / "firmware_extracted")) {
      if (!entry.is_regular_file()) std::abort();
    }
  }
  return 0;
}
