#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "platform/file_system.hpp"
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

// The raw file that a backup writes beside the data file.
std::string raw_file_of(const std::string& data_file) {
  return data_file + ".big";
}

// Where a forced backup keeps an earlier raw file while its upload runs.
std::string set_aside_name(const std::string& raw_file) {
  return raw_file + ".before-forced-backup";
}

// Whether a file (or a link, even a broken one) has this name.
bool names_a_file(const std::string& name) {
  std::error_code unknown;
  return std::filesystem::exists(
      std::filesystem::symlink_status(platform::typed_path(name), unknown));
}

// Before a forced backup: an earlier raw file that an interrupted one left set aside goes
// back under its own name. When a raw file of that name is there again, which one to keep
// is the technician's choice.
void recover_set_aside_raw_file(const std::string& raw_file) {
  const std::string set_aside = set_aside_name(raw_file);
  if (platform::move_file(set_aside, raw_file) == platform::FileOutcome::exists) {
    fail("An interrupted forced backup left the earlier raw file '" + set_aside + "' beside '" +
         raw_file + "', which is newer: keep one of them under '" + raw_file +
         "' and remove the other");
  }
}

// A forced backup ignores the upload's result, so the raw file has to tell whether the
// upload read anything. For the time of the upload an earlier raw file is set aside: a
// raw file found afterwards can only be the upload's, whatever its size and time say (a
// FAT drive keeps times in 2-second steps, a C runtime in whole seconds).
class SetAsideRawFile {
 public:
  explicit SetAsideRawFile(const std::string& raw_file)
      : raw_file_(raw_file), set_aside_(set_aside_name(raw_file)) {
    // An earlier raw file that stays would pass for the upload's.
    const platform::FileOutcome moved = platform::move_file(raw_file_, set_aside_);
    if (moved != platform::FileOutcome::done && moved != platform::FileOutcome::missing_folder) {
      fail("The earlier raw file '" + raw_file_ + "' cannot be set aside as '" + set_aside_ +
           "': close it in the program that holds it, or remove it");
    }
  }
  // The earlier raw file goes when the upload wrote a new one, and comes back under its
  // own name when it did not. When neither can be done, it stays where it was set aside.
  ~SetAsideRawFile() {
    std::error_code kept;
    if (upload_wrote_raw_file()) {
      std::filesystem::remove(platform::typed_path(set_aside_), kept);
    } else {
      platform::move_file(set_aside_, raw_file_);
    }
  }
  SetAsideRawFile(const SetAsideRawFile&) = delete;
  SetAsideRawFile& operator=(const SetAsideRawFile&) = delete;

  bool upload_wrote_raw_file() const { return names_a_file(raw_file_); }

 private:
  std::string raw_file_;
  std::string set_aside_;
};

// Every file a backup writes, claimed for this run before the port opens: the data file,
// and the raw file and the set-aside name that the library and a forced backup write beside
// it. A second run that asks for any of them is refused before it talks to its phone, and
// its uploads never write over this run's. None of them may be the sec-pack file, which
// belongs to one phone and is not easily had again.
struct BackupFiles {
  BackupFiles(const std::string& data_file, const std::string& sec_pack, bool force)
      : sec_pack_guard{sec_pack, "The backup would overwrite the sec-pack file " + sec_pack +
                                     ": choose another data file"},
        data(data_file, Durability::flushed, {sec_pack_guard}),
        raw(raw_file_of(data_file), Durability::cached, {sec_pack_guard}) {
    if (force) {
      set_aside.emplace(set_aside_name(raw_file_of(data_file)), Durability::cached,
                        std::initializer_list<Guarded>{sec_pack_guard});
    }
  }
  Guarded sec_pack_guard;
  TargetFile data;
  TargetFile raw;  // claimed, never written here: the library writes the raw file itself
  std::optional<TargetFile> set_aside;
};

// The library reads the range into the raw file, and the data file gets its pages. A whole
// upload becomes the data file before a request to stop is heeded, when the session ends:
// the phone took minutes to give it.
void back_up(DownloadSession& phone, TargetFile& data_file, const std::string& raw_file,
             std::uint32_t address, std::uint32_t size, bool force) {
  print_line("Receiving memory data in progress...");
  if (force) {
    const SetAsideRawFile earlier(raw_file);
    phone.upload(address, whole_read_back, raw_file);
    if (!earlier.upload_wrote_raw_file()) {
      const std::string failure = phone.receiving_failure();
      // An empty data file, as with a raw file missing.
      data_file.put_in_place_after([&] { fail(failure); });
    }
    extract_pages(whole_read_back, data_file, raw_file);
  } else {
    phone.upload(address, upload_length(size), raw_file);
    extract_pages(size, data_file, raw_file);
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
    if (force) recover_set_aside_raw_file(raw_file_of(data_file));
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
      back_up(phone, backup_files->data, raw_file_of(data_file), address, size, force);
    }
  });
}
