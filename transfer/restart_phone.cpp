#include <exception>
#include <string>

#include "shell/console.hpp"
#include "shell/library_binding.hpp"
#include "transfer/actions.hpp"
#include "transfer/download_library.hpp"

namespace {

// The version data can be long: this query gets a reply buffer of its own size.
constexpr std::uint32_t version_reply_size = 10000;

}  // namespace

void restart_phone() {
  Library library = bind_library(download_library_name);
  GetDllVersion* get_dll_version = nullptr;
  OpenCommPort* open_comm_port = nullptr;
  GetSwVersionData* get_sw_version_data = nullptr;
  ForceTargetReset* force_target_reset = nullptr;
  CloseCommPort* close_comm_port = nullptr;
  resolve_entry_points(library, entry_point("_IFWD_DL_get_dll_version", get_dll_version),
                       entry_point("_IFWD_DL_open_comm_port", open_comm_port),
                       entry_point("_IFWD_DL_get_sw_version_data", get_sw_version_data),
                       entry_point("_IFWD_DL_force_target_reset", force_target_reset),
                       entry_point("_IFWD_DL_close_comm_port", close_comm_port));

  print_dll_version(get_dll_version);
  const std::string port = ask_port_name();
  const std::string sec_pack = ask_sec_pack_file();
  print_line("Loading...");

  PhoneBuffer<version_reply_size> reply{};
  StatusBuffer status{};
  try {
    if (call_entry(open_comm_port, phone_channel, port.c_str(), port.c_str(), reply.data(),
                   status.data()) == 0) {
      call_entry(get_sw_version_data, phone_channel, sec_pack.c_str(), reply.data(), 0,
                 version_reply_size, status.data());
      print_line(buffer_text(reply));
      print_line(buffer_text(status));
    } else {
      print_line("Error");
    }
  } catch (const std::exception&) {
    print_line("Error");
  }
  restart_and_close_port(force_target_reset, close_comm_port, status);
}
