#include <new>
#include <stdexcept>

#include "packages/actions.hpp"
#include "packages/upgrade_parameters.hpp"
#include "shell/console.hpp"
#include "shell/library_binding.hpp"

namespace {

using StartUpgrade = void();
using SetParam = int(const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*, const char*, const char*, const char*,
                     const char*, const char*, const char*);

// Calls into the library. What the library raises is an object of the library's own code
// (its type information, what() and destructor live in the library's image) and must not
// outlive the library, which is released on the way out: it leaves as a copy owned by the
// program, of the same kind and with the same text.
template <typename Call>
void call_library(Call&& call) {
  try {
    call();
  } catch (const std::bad_alloc&) {
    throw std::bad_alloc();
  } catch (const std::exception& failure) {
    throw std::runtime_error(failure.what());
  }
}

}  // namespace

void flash_with_assistant() {
  Library library = bind_library("LGMUpgradeDL.dll");
  StartUpgrade* start_upgrade = nullptr;
  SetParam* set_param = nullptr;
  resolve_entry_points(library, entry_point("dll_StartUpgrade", start_upgrade),
                       entry_point("SetParam", set_param));

  UpgradeParameters& texts = upgrade_parameters;
  print_prompt("Phone Model (Ex: ", phone_model, "): ");
  texts[phone_model_parameter] = read_line();
  print_prompt("File (.CAB) including the firmware (Ex: C:\\V10G_04.cab): ");
  texts[cab_file_parameter] = read_line();
  print_prompt("Version(SW version) (Ex: V10G_04): ");
  texts[software_version_parameter] = read_line();

  print_line("Send the arguments...");
  // The library may keep these pointers: the texts stay unchanged until the upgrade is over.
  call_library([&] {
    set_param(texts[0].c_str(), texts[1].c_str(), texts[2].c_str(), texts[3].c_str(),
              texts[4].c_str(), texts[5].c_str(), texts[6].c_str(), texts[7].c_str(),
              texts[8].c_str(), texts[9].c_str(), texts[10].c_str(), texts[11].c_str(),
              texts[12].c_str(), texts[13].c_str(), texts[14].c_str(), texts[15].c_str(),
              texts[16].c_str(), texts[17].c_str(), texts[18].c_str(), texts[19].c_str(),
              texts[20].c_str());
  });
  print_line("Loading...");
  call_library(start_upgrade);
}
