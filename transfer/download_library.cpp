#include "transfer/download_library.hpp"

#include "shell/console.hpp"

void print_dll_version(GetDllVersion* get_dll_version) {
  const char* version = call_entry(get_dll_version);
  print_line("Version of DLL: ", version ? version : "");
}

void restart_and_close_port(ForceTargetReset* reset, CloseCommPort* close, StatusBuffer& status) {
  print_line("Restarting the phone..");
  call_entry(reset, phone_channel, 0u, 0u, 0u, 2u, status.data());
  print_line("Restarted..");
  close_port(close, status);
}

void close_port(CloseCommPort* close, StatusBuffer& status) {
  call_entry(close, phone_channel, status.data());
  print_line("Port closed");
}

std::string ask_port_name() {
  print_prompt("USB port (Ex: \\\\.\\USB1): ");
  return read_line();
}

std::string ask_sec_pack_file() {
  print_prompt("Sec-pack file(Ex: C:\\", phone_model, "_psi.flb): ");
  return read_line();
}
