#include <cstdint>
#include <string>

#include "shell/console.hpp"
#include "shell/target_file.hpp"
#include "transfer/actions.hpp"
#include "transfer/download_session.hpp"

void boot_executable() {
  using enum DownloadEntry;
  // set_dll_parameter, boot_target and force_target_reset are never called: they are bound
  // so that a library without them is refused before the first prompt.
  DownloadSession phone{get_dll_version, set_dll_parameter,  open_comm_port, boot_target,
                        boot_bin_target, force_target_reset, close_comm_port};
  phone.print_version();
  const std::string port = ask_port_name();
  print_line("Exec file");
  const std::string executable = read_line();
  library_file(executable);
  print_line("Loading...");

  ReplyBuffer reply{};
  run_guarded_steps([&] {
    if (!phone.open_port(port, reply)) return false;
    phone.stop_if_interrupted();
    print_line("Port open... PLUG THE PHONE");
    print_line("Send of the sec-pack...");
    // Printed in the console's current number format: hexadecimal once M has run.
    const std::int32_t result = call_entry(phone.entry().boot_bin_target, phone_channel,
                                           executable.c_str(), reply.data(), phone.status().data());
    print_line(result);
    print_line(buffer_text(reply));
    print_line(buffer_text(phone.status()));
    return true;
  });
  phone.close_port();
}
