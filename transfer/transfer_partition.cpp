#include <cstdio>
#include <string>

#include "shell/console.hpp"
#include "shell/failure.hpp"
#include "shell/library_binding.hpp"
#include "transfer/actions.hpp"
#include "transfer/download_library.hpp"
#include "transfer/extract_pages.hpp"

namespace {

// The raw read-back file holds 16,384 bytes per page, and its length goes to the library
// as a 32-bit number: 0x1FFFFFFF bytes (262,143 whole pages) is the most one backup reads.
constexpr std::uint32_t largest_backup = 0x1FFFFFFF;

std::string hex_text(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
  return text;
}

// Ranges the library cannot be asked for are refused before anything is bound or sent.
void refuse_unreachable_range(std::uint32_t size, bool send, bool force) {
  if (send && size == 0) fail("Nothing to send: the range is empty");
  if (!send && !force && size > largest_backup) {
    fail("Range too large for a backup: " + hex_text(size) + " bytes (at most " +
         hex_text(largest_backup) + ")");
  }
}

std::uint32_t upload_length(std::uint32_t size) {
  return size / page_bytes * read_back_block_bytes;
}

}  // namespace

void transfer_partition(std::uint32_t address, std::uint32_t size, bool send, bool force) {
  refuse_unreachable_range(size, send, force);

  Library library = bind_library(download_library_name);
  GetDllVersion* get_dll_version = nullptr;
  SetDllParameter* set_dll_parameter = nullptr;
  OpenCommPort* open_comm_port = nullptr;
  BootBinTarget* boot_bin_target = nullptr;
  ForceTargetReset* force_target_reset = nullptr;
  UploadBinImage* upload_bin_image = nullptr;
  DownloadBinImage* download_bin_image = nullptr;
  CloseCommPort* close_comm_port = nullptr;
  resolve_entry_points(library, entry_point("_IFWD_DL_get_dll_version", get_dll_version),
                       entry_point("_IFWD_DL_set_dll_parameter", set_dll_parameter),
                       entry_point("_IFWD_DL_open_comm_port", open_comm_port),
                       entry_point("_IFWD_DL_boot_bin_target", boot_bin_target),
                       entry_point("_IFWD_DL_force_target_reset", force_target_reset),
                       entry_point("_IFWD_DL_upload_bin_image", upload_bin_image),
                       entry_point("_IFWD_DL_download_bin_image", download_bin_image),
                       entry_point("_IFWD_DL_close_comm_port", close_comm_port));

  print_dll_version(get_dll_version);
  const std::string port = ask_port_name();
  const std::string sec_pack = ask_sec_pack_file();
  print_prompt("Data file: ");
  const std::string data_file = read_line();
  print_line("Loading...");

  StatusBuffer status{};
  ReplyBuffer reply{};
  // From the port opening on, every way out resets the phone and closes the port first.
  try {
    if (call_entry(open_comm_port, phone_channel, port.c_str(), port.c_str(), reply.data(),
                   status.data()) != 0) {
      fail("Error during the port opening: " + buffer_text(status));
    }
    print_line("Port open... PLUG THE PHONE");
    print_line("Send of the sec-pack...");
    if (call_entry(boot_bin_target, phone_channel, sec_pack.c_str(), reply.data(), status.data()) !=
        0) {
      fail("Error during the sec-pack sending: " + buffer_text(status));
    }
    print_line("sec-pack sended...");

    if (send) {
      print_line("Sending memory data in progress...");
      if (call_entry(download_bin_image, phone_channel, address, 0, size - 1, data_file.c_str(), 0,
                     status.data()) != 0) {
        fail("Error during the data sending: " + buffer_text(status));
      }
    } else {
      const std::string raw_file = data_file + ".big";
      print_line("Receiving memory data in progress...");
      std::uint32_t page_limit = whole_read_back;
      if (force) {
        // A forced read-back is judged by what reached the raw file, not by the result.
        call_entry(upload_bin_image, phone_channel, address, whole_read_back, raw_file.c_str(), 0,
                   status.data());
      } else {
        if (call_entry(upload_bin_image, phone_channel, address, upload_length(size),
                       raw_file.c_str(), 0, status.data()) != 0) {
          fail("Error during the data receiving: " + buffer_text(status));
        }
        page_limit = size;
      }
      extract_pages(page_limit, data_file, raw_file);
    }
  } catch (...) {
    restart_and_close_port(force_target_reset, close_comm_port, status);
    throw;
  }
  restart_and_close_port(force_target_reset, close_comm_port, status);
}
