#include "transfer/download_session.hpp"

#include <array>
#include <cstring>
#include <exception>
#include <tuple>

#include "platform/fault_guard.hpp"
#include "shell/console.hpp"
#include "shell/failure.hpp"
#include "transfer/extract_pages.hpp"

namespace {

// The exports and their types, in the order of DownloadEntry.
constexpr std::array<const char*, static_cast<std::size_t>(DownloadEntry::entry_count)>
    export_names{"_IFWD_DL_get_dll_version",  "_IFWD_DL_set_dll_parameter",
                 "_IFWD_DL_open_comm_port",   "_IFWD_DL_boot_bin_target",
                 "_IFWD_DL_boot_target",      "_IFWD_DL_download_bin_image",
                 "_IFWD_DL_upload_bin_image", "_IFWD_DL_force_target_reset",
                 "_IFWD_DL_close_comm_port",  "_IFWD_DL_get_sw_version_data"};
using EntryTypes =
    std::tuple<vendor_abi::GetDllVersion, vendor_abi::SetDllParameter, vendor_abi::OpenCommPort,
               vendor_abi::BootBinTarget, vendor_abi::BootTarget, vendor_abi::DownloadBinImage,
               vendor_abi::UploadBinImage, vendor_abi::ForceTargetReset, vendor_abi::CloseCommPort,
               vendor_abi::GetSwVersionData>;

// Every call but the version query names the channel first; the program uses one only.
constexpr std::uint8_t phone_channel = 1;

}  // namespace

using enum DownloadEntry;

// A C++ exception that the library raises, also one of Microsoft's runtime, reaches the
// caller as platform::LibraryException (see platform/fault_guard.hpp).
template <DownloadEntry entry, typename... Arguments>
auto DownloadSession::call(Arguments... arguments) {
  constexpr auto index = static_cast<std::size_t>(entry);
  auto* address = reinterpret_cast<std::tuple_element_t<index, EntryTypes>*>(entries_[index]);
  return platform::call_library([&] { return address(arguments...); });
}

DownloadSession::DownloadSession(std::initializer_list<DownloadEntry> entries,
                                 std::size_t reply_size)
    : library_(bind_library(vendor_abi::download_library_name)), reply_(reply_size) {
  for (const DownloadEntry entry : entries) {
    const auto index = static_cast<std::size_t>(entry);
    entries_[index] = require_entry_point(library_, export_names[index]);
  }
  const char* version = call<get_dll_version>();
  print_line("Version of DLL: ", version ? version : "");
}

std::string buffer_text(std::span<const char> buffer) {
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size() - 1));
}

void DownloadSession::run(const std::string& port, SessionEnd end, FailureShown shown,
                          const std::function<void()>& steps) {
  try {
    try {
      open_port(port);
      steps();
    } catch (const std::exception&) {
      if (shown == FailureShown::raised) throw;
      print_line("Error");  // nothing about the failure but this
    }
  } catch (...) {
    close(end);
    throw;
  }
  close(end);
}

void DownloadSession::open_port(const std::string& port) {
  // The second line: a closed console window on Windows, which the system soon ends.
  interruption_.emplace(
      "Interrupted: the program stops once the phone is closed.",
      "Closing: Windows ends the program within seconds, perhaps before the phone is closed.");
  if (call<open_comm_port>(phone_channel, port.c_str(), port.c_str(), reply_.data(),
                           status_.data()) != 0) {
    fail("Error during the port opening: " + status_text());
  }
  stop_if_interrupted();
}

void DownloadSession::boot_sec_pack(const std::string& sec_pack) {
  if (boot_executable(sec_pack) != 0) fail("Error during the sec-pack sending: " + status_text());
  stop_if_interrupted();
}

std::int32_t DownloadSession::boot_executable(const std::string& executable) {
  return call<boot_bin_target>(phone_channel, executable.c_str(), reply_.data(), status_.data());
}

void DownloadSession::download(std::uint32_t address, std::uint32_t size,
                               const std::string& data_file) {
  if (call<download_bin_image>(phone_channel, address, 0u, size - 1, data_file.c_str(), 0u,
                               status_.data()) != 0) {
    fail("Error during the data sending: " + status_text());
  }
}

void DownloadSession::upload(std::uint32_t address, std::uint32_t length,
                             const std::string& raw_file) {
  // A whole upload's result says nothing: the raw file tells what it read.
  const int result =
      call<upload_bin_image>(phone_channel, address, length, raw_file.c_str(), 0u, status_.data());
  if (result != 0 && length != whole_read_back) fail(receiving_failure());
}

std::string DownloadSession::receiving_failure() const {
  stop_if_interrupted();
  return "Error during the data receiving: " + status_text();
}

void DownloadSession::software_version_data(const std::string& sec_pack) {
  call<get_sw_version_data>(phone_channel, sec_pack.c_str(), reply_.data(), 0u,
                            static_cast<std::uint32_t>(reply_.size()), status_.data());
}

void DownloadSession::stop_if_interrupted() const {
  if (interruption_ && interruption_->requested()) throw Interrupted{};
}

void DownloadSession::close(SessionEnd end) {
  if (end == SessionEnd::restart) {
    print_line("Restarting the phone..");
    try {
      call<force_target_reset>(phone_channel, 0u, 0u, 0u, 2u, status_.data());
    } catch (...) {
      close(SessionEnd::close);  // a port left open would outlive the library
      throw;
    }
    print_line("Restarted..");
  }
  call<close_comm_port>(phone_channel, status_.data());
  print_line("Port closed");
  const bool stop = interruption_ && interruption_->requested();
  interruption_.reset();
  if (stop) throw Interrupted{};
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
