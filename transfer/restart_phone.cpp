#include <cstdint>
#include <string>

#include "shell/console.hpp"
#include "shell/target_file.hpp"
#include "transfer/actions.hpp"
#include "transfer/download_session.hpp"

namespace {

// The version data can be long: this query gets a reply buffer of its own size.
constexpr std::uint32_t version_reply_size = 10000;

}  // namespace

void restart_phone() {
  using enum DownloadEntry;
  DownloadSession phone{get_dll_version, open_comm_port, get_sw_version_data, force_target_reset,
                        close_comm_port};
  phone.print_version();
  const std::string port = ask_port_name();
  const std::string sec_pack = ask_sec_pack_file();
  library_file(sec_pack);
  print_line("Loading...");

  PhoneBuffer<version_reply_size> reply{};
  run_guarded_steps([&] {
    if (!phone.open_port(port, reply)) return false;
    phone.stop_if_interrupted();
    call_entry(phone.entry().get_sw_version_data, phone_channel, sec_pack.c_str(), reply.data(), 0u,
               version_reply_size, phone.status().data());
    print_line(buffer_text(reply));
    print_line(buffer_text(phone.status()));
    return true;
  });
  phone.restart_and_close_port();
}
