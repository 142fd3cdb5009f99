#include <string>

#include "shell/console.hpp"
#include "shell/target_file.hpp"
#include "transfer/actions.hpp"
#include "transfer/download_session.hpp"

void restart_phone() {
  using enum DownloadEntry;
  // The version data can be long: this query gets a reply buffer of its own size.
  DownloadSession phone(
      {get_dll_version, open_comm_port, get_sw_version_data, force_target_reset, close_comm_port},
      10000);
  const std::string port = ask_port_name();
  const std::string sec_pack = ask_sec_pack_file();
  library_file(sec_pack);
  print_line("Loading...");
  phone.run(port, SessionEnd::restart, FailureShown::as_error_line, [&] {
    phone.software_version_data(sec_pack);
    print_line(phone.reply_text());
    print_line(phone.status_text());
  });
}
