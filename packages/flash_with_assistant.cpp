#include "packages/actions.hpp"
#include "packages/upgrade_parameters.hpp"
#include "platform/fault_guard.hpp"
#include "shell/console.hpp"
#include "shell/library_binding.hpp"
#include "shell/target_file.hpp"
#include "vendor_abi/upgrade_libraries.hpp"

void flash_with_assistant() {
  Library library = bind_library("LGMUpgradeDL.dll");
  vendor_abi::StartUpgrade* start_upgrade = nullptr;
  vendor_abi::SetParam* set_param = nullptr;
  resolve_entry_points(library, entry_point("dll_StartUpgrade", start_upgrade),
                       entry_point("SetParam", set_param));

  UpgradeParameters& texts = upgrade_parameters;
  print_prompt("Phone Model (Ex: ", phone_model, "): ");
  texts[phone_model_parameter] = read_line();
  print_prompt("File (.CAB) including the firmware (Ex: C:\\V10G_04.cab): ");
  texts[cab_file_parameter] = read_line();
  library_file(texts[cab_file_parameter]);
  print_prompt("Version(SW version) (Ex: V10G_04): ");
  texts[software_version_parameter] = read_line();

  print_line("Send the arguments...");
  // The library may keep these pointers: the texts stay unchanged until the upgrade is over.
  // What the library raises reaches the menu as the program's own failure: the library's
  // exception objects live in its image, which is released on the way out.
  platform::call_library([&] {
    set_param(texts[0].c_str(), texts[1].c_str(), texts[2].c_str(), texts[3].c_str(),
              texts[4].c_str(), texts[5].c_str(), texts[6].c_str(), texts[7].c_str(),
              texts[8].c_str(), texts[9].c_str(), texts[10].c_str(), texts[11].c_str(),
              texts[12].c_str(), texts[13].c_str(), texts[14].c_str(), texts[15].c_str(),
              texts[16].c_str(), texts[17].c_str(), texts[18].c_str(), texts[19].c_str(),
              texts[20].c_str());
  });
  print_line("Loading...");
  platform::call_library(start_upgrade);
}
