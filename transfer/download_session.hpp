// One session with the phone through the flash download library: the library bound for one
// action with the entry points that the action names, the buffers handed to it, and the
// steps of a phone action, each one library call with its failure's text. The only place
// that calls the library or heeds a request to stop.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/interruption.hpp"
#include "shell/library_binding.hpp"
#include "vendor_abi/download_library.hpp"

// The library's entry points, each named for its export (_IFWD_DL_<name>), and their count.
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
  entry_count
};

// Buffers handed to the library by address, starting as empty text.
inline constexpr std::size_t status_buffer_size = 512;
inline constexpr std::size_t reply_buffer_size = 512;
using StatusBuffer = std::array<char, status_buffer_size>;
using ReplyBuffer = std::array<char, reply_buffer_size>;

// The text the library left in the buffer, cut before its last byte when the library
// wrote no terminator.
std::string buffer_text(std::span<const char> buffer);

// How a session ends, whichever way its steps end: the phone restarted ("Restarting the
// phone..", the reset, "Restarted..") and its port closed, or the port closed alone (X).
// What a reset raises is raised once the port is closed.
enum class SessionEnd { restart, close };

// Where a failure of the steps goes: raised to the menu loop once the session has ended
// (a transfer), or shown as the line "Error" alone before it ends (V and X).
enum class FailureShown { raised, as_error_line };

class DownloadSession {
 public:
  // Binds the library and resolves `entries` in the order given; the reply buffer of every
  // call holds `reply_size` bytes. Raises the text "Error during the loading DLL", or
  // "Procedure not found:" and the first missing export's name after releasing the library.
  // Then prints "Version of DLL: " and the library's version text (nothing after it when
  // the library gives none).
  explicit DownloadSession(std::initializer_list<DownloadEntry> entries,
                           std::size_t reply_size = reply_buffer_size);

  // Opens the port named `port`, runs `steps`, then ends the session as `end` says, also
  // when the port does not open ("Error during the port opening: " and the status text) or
  // the steps raise; a failure goes where `shown` says. Meanwhile a request to stop (Ctrl+C;
  // on Windows a closed console, as long as the system waits) is held: one line says so, the
  // steps after the one that runs are skipped, and Interrupted is raised once the port closes.
  void run(const std::string& port, SessionEnd end, FailureShown shown,
           const std::function<void()>& steps);

  // The steps, for run's `steps`; a failure raises its text and the status text.
  // Boots the phone with the sec-pack; raises "Error during the sec-pack sending: ", then
  // Interrupted when a request to stop came.
  void boot_sec_pack(const std::string& sec_pack);
  // Boots the phone with an executable file; gives the library's result, not looked at.
  std::int32_t boot_executable(const std::string& executable);
  // Sends `size` bytes (at least one) of `data_file` to the flash at `address`. Raises
  // "Error during the data sending: ".
  void download(std::uint32_t address, std::uint32_t size, const std::string& data_file);
  // Reads `length` bytes of raw read-back blocks from the flash at `address` into
  // `raw_file`, which the library writes; with `whole_read_back`, every block the phone
  // gives, whatever the library says. Raises receiving_failure's text when it failed.
  void upload(std::uint32_t address, std::uint32_t length, const std::string& raw_file);
  // For an upload that read nothing: raises Interrupted when a request to stop came, else
  // gives "Error during the data receiving: " and the status text.
  std::string receiving_failure() const;
  // Asks for the software version data with `sec_pack` into the reply buffer; the result
  // is not looked at.
  void software_version_data(const std::string& sec_pack);

  // The texts of the reply and status buffers (buffer_text).
  std::string reply_text() const { return buffer_text(reply_); }
  std::string status_text() const { return buffer_text(status_); }

 private:
  // Calls one entry point.
  template <DownloadEntry entry, typename... Arguments>
  auto call(Arguments... arguments);
  void open_port(const std::string& port);
  void stop_if_interrupted() const;
  void close(SessionEnd end);

  Library library_;
  // Those that the action did not bind stay null.
  std::array<void*, static_cast<std::size_t>(DownloadEntry::entry_count)> entries_{};
  StatusBuffer status_{};
  std::vector<char> reply_;
  std::optional<platform::DeferredInterruption> interruption_;
};

// Prints the port prompt and reads the port name as a whole line.
std::string ask_port_name();
// Prints the sec-pack prompt and reads the file name as a whole line.
std::string ask_sec_pack_file();
