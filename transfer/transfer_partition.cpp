#include <cstdio>
#include <optional>
#include <string>

#include "shell/console.hpp"
#include "shell/failure.hpp"
#include "shell/target_file.hpp"
#include "transfer/actions.hpp"
#include "transfer/download_session.hpp"
#include "transfer/extract_pages.hpp"

namespace {

// The raw read-back file holds 16,384 bytes per page, and its length goes to the library
// as a 32-bit number: 0x1FFFFFFF bytes (262,143 whole pages) is the most one backup reads.
constexpr std::uint32_t largest_backup = 0x1FFFFFFF;

// Ranges the library cannot be asked for are refused before anything is bound or sent.
void refuse_unreachable_range(std::uint32_t size, bool send, bool force) {
  if (send && size == 0) fail("Nothing to send: the range is empty");
  if (!send && !force && size > largest_backup) {
    char text[80];
    std::snprintf(text, sizeof text, "Range too large for a backup: 0x%x bytes (at most 0x%x)",
                  static_cast<unsigned>(size), static_cast<unsigned>(largest_backup));
    fail(text);
  }
}

// The library reads the range into the raw file, and the data file gets its pages. A whole
// upload becomes the data file before a request to stop is heeded, when the session ends:
// the phone took minutes to give it.
void back_up(DownloadSession& phone, BackupFiles& files, std::uint32_t address, std::uint32_t size,
             bool force) {
  print_line("Receiving memory data in progress...");
  if (force) {
    files.receive_whole([&] { phone.upload(address, whole_read_back, files.raw_file()); },
                        [&] { return phone.receiving_failure(); });
  } else {
    // A block of the raw file for each whole page.
    phone.upload(address, size / page_bytes * read_back_block_bytes, files.raw_file());
    files.convert(size);
  }
}

void send_data(DownloadSession& phone, std::uint32_t address, std::uint32_t size,
               const std::string& data_file) {
  print_line("Sending memory data in progress...");
  phone.download(address, size, data_file);
}

}  // namespace

void transfer_partition(std::uint32_t address, std::uint32_t size, bool send, bool force) {
  refuse_unreachable_range(size, send, force);
  using enum DownloadEntry;
  // set_dll_parameter is never called: it is bound so that a library without it is
  // refused before the first prompt.
  DownloadSession phone{get_dll_version,    set_dll_parameter, open_comm_port,     boot_bin_target,
                        force_target_reset, upload_bin_image,  download_bin_image, close_comm_port};
  const std::string port = ask_port_name();
  const std::string sec_pack = ask_sec_pack_file();
  print_prompt("Data file: ");
  const std::string data_file = read_line();
  library_file(sec_pack);
  std::optional<BackupFiles> backup_files;
  if (send) {
    library_file(data_file);
  } else {
    backup_files.emplace(data_file, sec_pack, force);
  }
  print_line("Loading...");
  phone.run(port, SessionEnd::restart, FailureShown::raised, [&] {
    print_line("Port open... PLUG THE PHONE");
    print_line("Send of the sec-pack...");
    phone.boot_sec_pack(sec_pack);
    // "sended": the system's own text.
    print_line("sec-pack sended...");
    if (send) {
      send_data(phone, address, size, data_file);
    } else {
      back_up(phone, *backup_files, address, size, force);
    }
  });
}
