#include <cstdint>
#include <exception>
#include <string>

#include "shell/console.hpp"
#include "shell/library_binding.hpp"
#include "transfer/actions.hpp"
#include "transfer/download_library.hpp"

void boot_executable() {
  Library library = bind_library(download_library_name);
  GetDllVersion* get_dll_version = nullptr;
  SetDllParameter* set_dll_parameter = nullptr;
  OpenCommPort* open_comm_port = nullptr;
  BootTarget* boot_target = nullptr;
  BootBinTarget* boot_bin_target = nullptr;
  ForceTargetReset* force_target_reset = nullptr;
  CloseCommPort* close_comm_port = nullptr;
  resolve_entry_points(library, entry_point("_IFWD_DL_get_dll_version", get_dll_version),
                       entry_point("_IFWD_DL_set_dll_parameter", set_dll_parameter),
                       entry_point("_IFWD_DL_open_comm_port", open_comm_port),
                       entry_point("_IFWD_DL_boot_target", boot_target),
                       entry_point("_IFWD_DL_boot_bin_target", boot_bin_target),
                       entry_point("_IFWD_DL_force_target_reset", force_target_reset),
                       entry_point("_IFWD_DL_close_comm_port", close_comm_port));

  print_dll_version(get_dll_version);
  const std::string port = ask_port_name();
  print_line("Exec file");
  const std::string executable = read_line();
  print_line("Loading...");

  ReplyBuffer reply{};
  StatusBuffer status{};
  try {
    if (call_entry(open_comm_port, phone_channel, port.c_str(), port.c_str(), reply.data(),
                   status.data()) == 0) {
      print_line("Port open... PLUG THE PHONE");
      print_line("Send of the sec-pack...");
      // Printed in the console's current number format: hexadecimal once M has run.
      const std::int32_t result = call_entry(boot_bin_target, phone_channel, executable.c_str(),
                                             reply.data(), status.data());
      print_line(result);
      print_line(buffer_text(reply));
      print_line(buffer_text(status));
    } else {
      print_line("Error");
    }
  } catch (const std::exception&) {
    print_line("Error");
  }
  close_port(close_comm_port, status);
}
