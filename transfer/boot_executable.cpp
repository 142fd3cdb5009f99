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
  const std::string port = ask_port_name();
  print_line("Exec file");
  const std::string executable = read_line();
  library_file(executable);
  print_line("Loading...");
  phone.run(port, SessionEnd::close, FailureShown::as_error_line, [&] {
    print_line("Port open... PLUG THE PHONE");
    print_line("Send of the sec-pack...");
    // Printed in the console's current number format: hexadecimal once M has run.
    print_line(phone.boot_executable(executable));
    print_line(phone.reply_text());
    print_line(phone.status_text());
  });
}
