#include "transfer/download_session.hpp"

#include <array>
#include <exception>
#include <type_traits>

#include "shell/console.hpp"
#include "shell/failure.hpp"

namespace {

// Where the address of one export goes.
struct EntryBinding {
  const char* name;
  void (*store)(DownloadEntryPoints& entries, void* address);
};

template <auto member>
void store(DownloadEntryPoints& entries, void* address) {
  using Pointer = std::remove_reference_t<decltype(entries.*member)>;
  entries.*member = reinterpret_cast<Pointer>(address);
}

// In the order of DownloadEntry.
constexpr std::array<EntryBinding, 10> bindings{{
    {"_IFWD_DL_get_dll_version", store<&DownloadEntryPoints::get_dll_version>},
    {"_IFWD_DL_set_dll_parameter", store<&DownloadEntryPoints::set_dll_parameter>},
    {"_IFWD_DL_open_comm_port", store<&DownloadEntryPoints::open_comm_port>},
    {"_IFWD_DL_boot_bin_target", store<&DownloadEntryPoints::boot_bin_target>},
    {"_IFWD_DL_boot_target", store<&DownloadEntryPoints::boot_target>},
    {"_IFWD_DL_download_bin_image", store<&DownloadEntryPoints::download_bin_image>},
    {"_IFWD_DL_upload_bin_image", store<&DownloadEntryPoints::upload_bin_image>},
    {"_IFWD_DL_force_target_reset", store<&DownloadEntryPoints::force_target_reset>},
    {"_IFWD_DL_close_comm_port", store<&DownloadEntryPoints::close_comm_port>},
    {"_IFWD_DL_get_sw_version_data", store<&DownloadEntryPoints::get_sw_version_data>},
}};

}  // namespace

DownloadSession::DownloadSession(std::initializer_list<DownloadEntry> entries)
    : library_(bind_library(vendor_abi::download_library_name)) {
  for (const DownloadEntry entry : entries) {
    const EntryBinding& binding = bindings[static_cast<std::size_t>(entry)];
    binding.store(entry_, require_entry_point(library_, binding.name));
  }
}

void DownloadSession::print_version() {
  const char* version = call_entry(entry_.get_dll_version);
  print_line("Version of DLL: ", version ? version : "");
}

void DownloadSession::restart_and_close_port() {
  print_line("Restarting the phone..");
  call_entry(entry_.force_target_reset, phone_channel, 0u, 0u, 0u, 2u, status_.data());
  print_line("Restarted..");
  close_port();
}

void DownloadSession::stop_if_interrupted() const {
  if (interruption_ && interruption_->requested()) throw Interrupted{};
}

void DownloadSession::close_port() {
  call_entry(entry_.close_comm_port, phone_channel, status_.data());
  print_line("Port closed");
  const bool stop = interruption_ && interruption_->requested();
  interruption_.reset();
  if (stop) throw Interrupted{};
}

void run_guarded_steps(const std::function<bool()>& steps) {
  try {
    if (steps()) return;
  } catch (const Interrupted&) {
    return;  // the closing steps come next, then the program stops
  } catch (const std::exception&) {
    // Nothing about the failure is shown but "Error".
  }
  print_line("Error");
}

std::string ask_port_name() {
  print_prompt("USB port (Ex: \\\\.\\USB1): ");
  return read_line();
}

std::string ask_sec_pack_file() {
  // No blank before "(Ex:": the system's own text.
  print_prompt("Sec-pack file(Ex: C:\\", phone_model, "_psi.flb): ");
  return read_line();
}
