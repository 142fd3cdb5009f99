// One session with the phone through the flash download library: the library bound for one
// action with the entry points that the action names, the buffers handed to it, and the
// steps that every phone action shares, with their console lines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

#include "platform/fault_guard.hpp"
#include "platform/interruption.hpp"
#include "shell/library_binding.hpp"
#include "vendor_abi/download_library.hpp"

// Every call but the version query names the channel first; the program uses one only.
inline constexpr std::uint8_t phone_channel = 1;

// The library's entry points, each named for its export (_IFWD_DL_<name>).
enum class DownloadEntry {
  get_dll_version,
  set_dll_parameter,
  open_comm_port,
  boot_bin_target,
  boot_target,
  download_bin_image,
  upload_bin_image,
  force_target_reset,
  close_comm_port,
  get_sw_version_data,
};

// The entry points of a session; those that the action did not bind stay null.
struct DownloadEntryPoints {
  vendor_abi::GetDllVersion* get_dll_version = nullptr;
  vendor_abi::SetDllParameter* set_dll_parameter = nullptr;
  vendor_abi::OpenCommPort* open_comm_port = nullptr;
  vendor_abi::BootBinTarget* boot_bin_target = nullptr;
  vendor_abi::BootTarget* boot_target = nullptr;
  vendor_abi::DownloadBinImage* download_bin_image = nullptr;
  vendor_abi::UploadBinImage* upload_bin_image = nullptr;
  vendor_abi::ForceTargetReset* force_target_reset = nullptr;
  vendor_abi::CloseCommPort* close_comm_port = nullptr;
  vendor_abi::GetSwVersionData* get_sw_version_data = nullptr;
};

// A buffer handed to the library by address, starting as empty text.
template <std::size_t size>
using PhoneBuffer = std::array<char, size>;
inline constexpr std::size_t status_buffer_size = 512;
inline constexpr std::size_t reply_buffer_size = 512;
using StatusBuffer = PhoneBuffer<status_buffer_size>;
using ReplyBuffer = PhoneBuffer<reply_buffer_size>;

// The text the library left in the buffer, cut before its last byte when the library
// wrote no terminator.
template <std::size_t size>
std::string buffer_text(const PhoneBuffer<size>& buffer) {
  return std::string(buffer.data(), strnlen(buffer.data(), size - 1));
}

// Calls one entry point. A C++ exception that the library raises, also one of Microsoft's
// runtime, reaches the caller as platform::LibraryException (see platform/fault_guard.hpp).
template <typename Entry, typename... Arguments>
auto call_entry(Entry* entry, Arguments... arguments) {
  return platform::call_library([&] { return entry(arguments...); });
}

class DownloadSession {
 public:
  // Binds the library and resolves `entries` in the order given. Raises the text "Error
  // during the loading DLL", or "Procedure not found:" and the first missing export's name
  // after releasing the library.
  explicit DownloadSession(std::initializer_list<DownloadEntry> entries);

  const DownloadEntryPoints& entry() const { return entry_; }
  // The status buffer of every call of the session.
  StatusBuffer& status() { return status_; }

  // Prints "Version of DLL: " and the library's version text (nothing after it when the
  // library gives none).
  void print_version();

  // Opens the port named `port`; true when the library says it is open. From here to
  // close_port, a request to stop (Ctrl+C; on Windows a closed console, only as long as
  // the system waits) is held: it is noted, one line says so, and the program stops once
  // the port is closed.
  template <std::size_t size>
  bool open_port(const std::string& port, PhoneBuffer<size>& reply) {
    interruption_.emplace(interrupted_notice, closing_notice);
    return call_entry(entry_.open_comm_port, phone_channel, port.c_str(), port.c_str(),
                      reply.data(), status_.data()) == 0;
  }

  // Raises Interrupted when a request to stop came since the port opening: the steps that
  // remain are skipped, but for the closing ones. Called between the steps.
  void stop_if_interrupted() const;

  // The closing steps: "Restarting the phone..", the reset, "Restarted..", then
  // close_port. The results are not looked at.
  void restart_and_close_port();

  // Closes the port and prints "Port closed"; the result is not looked at. Raises
  // Interrupted afterwards when a request to stop came during the session.
  void close_port();

 private:
  static constexpr const char* interrupted_notice =
      "Interrupted: the program stops once the phone is closed.";
  // Windows: a closed console window, whose program the system ends within seconds.
  static constexpr const char* closing_notice =
      "Closing: Windows ends the program within seconds, perhaps before the phone is closed.";

  Library library_;
  DownloadEntryPoints entry_;
  StatusBuffer status_{};
  std::optional<platform::DeferredInterruption> interruption_;
};

// The guarded steps of V and X: runs `steps`, which open the port and talk to the phone,
// and prints "Error" (and nothing else about it) when they give false or raise a failure.
// Steps that stop on a request to stop (Interrupted) end quietly.
void run_guarded_steps(const std::function<bool()>& steps);

// Prints the port prompt and reads the port name as a whole line.
std::string ask_port_name();

// Prints the sec-pack prompt and reads the file name as a whole line.
std::string ask_sec_pack_file();
