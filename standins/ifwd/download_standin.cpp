// Stand-in for the flash download library IFWD_DownloadDll.dll: one virtual KS360 whose
// flash lives on disk (virtual_flash.hpp). Ports named \\.\USB<n> open; booting needs an
// existing sec-pack file; downloads and uploads need a booted phone.
//
// It declares the library's exports itself, from what the library is known to take, not
// from the program's headers. Controls read by this library only:
//   KORVANTA_VIRTUAL_PHONE   folder of the flash chunk files
//   KORVANTA_STANDIN_LOG     one line per call, and "load"/"unload IFWD_DownloadDll.dll"
//   KORVANTA_STANDIN_FAULTS  "<export name>=<mode>,...", the modes:
//     fail          the entry point fails on every call, with a status text saying so
//     throw         it raises a C++ exception (on Windows as Microsoft's runtime does)
//     unterminated  its status texts fill the whole 512-byte buffer, with no terminator
//     cut:<bytes>   (the upload) the raw file stops at that many bytes, and the upload
//                   still reports success: a read-back cut short
//     hold          the call waits, before it does anything, until the test removes the
//                   file <phone folder>/<export name>.held that the call creates: a
//                   step that takes as long as the test wants
//     keep_time     (the upload) an existing raw file is rewritten in place and gets its
//                   earlier modification time back, as a coarse clock (FAT's 2-second
//                   steps, a C runtime's whole seconds) shows a quick rewrite of one size
//
// An upload of length 0xFFFFFFFF reads from the address to the end of the partition that
// holds it, in whole pages (a partial last page is read whole). Rows overlap (EBL and SLB
// lie inside CLONE): the innermost row counts, the one starting last, and of rows starting
// at the same address the one reaching furthest (SLB rather than EBL).
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "standins/common/export.hpp"
#include "standins/common/fault_setting.hpp"
#include "standins/common/library_exception.hpp"
#include "standins/ifwd/virtual_flash.hpp"

namespace {

using virtual_phone::flash_folder;
using virtual_phone::inside_flash;

constexpr std::size_t status_size = 512;
constexpr std::size_t reply_size = 512;
constexpr std::uint32_t upload_all = 0xFFFFFFFF;
constexpr std::uint32_t page_size = 2048;
constexpr std::uint32_t block_size = 16384;
constexpr int failed = -1;
// The phone has one channel.
constexpr std::uint8_t phone_channel = 1;

struct FileClose {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

// What the phone is doing between calls.
bool port_open = false;
bool booted = false;

// A test control's value; null when it is unset or empty.
const char* control(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

void note(const char* format, ...) {
  const char* path = control(standin::log_variable);
  if (!path) return;
  // Binary mode: the log holds the same bytes on every platform.
  File log(std::fopen(path, "ab"));
  if (!log) return;
  va_list arguments;
  va_start(arguments, format);
  std::vfprintf(log.get(), format, arguments);
  va_end(arguments);
  std::fputc('\n', log.get());
}

struct LifetimeNote {
  LifetimeNote() { note("load IFWD_DownloadDll.dll"); }
  ~LifetimeNote() { note("unload IFWD_DownloadDll.dll"); }
} lifetime_note;

// The mode that KORVANTA_STANDIN_FAULTS names for the entry point being called.
std::string current_mode;

void put_text(char* buffer, std::size_t size, const std::string& text) {
  if (!buffer) return;
  std::snprintf(buffer, size, "%s", text.c_str());
}

void put_status(char* status, const std::string& text) {
  if (!status) return;
  if (current_mode == "unterminated") {
    std::memset(status, '#', status_size);
    std::memcpy(status, text.data(), std::min(text.size(), status_size));
    return;
  }
  put_text(status, status_size, text);
}

int refuse(char* status, const std::string& text) {
  put_status(status, text);
  return failed;
}

void note_destroyed() {
  note("exception object destroyed");
}

// Waits until the test removes the file that says the call is held, two minutes at most.
void hold(const char* entry_point) {
  const std::filesystem::path held = flash_folder() / (std::string(entry_point) + ".held");
  std::error_code unknown;
  std::filesystem::create_directories(held.parent_path(), unknown);
  // The marker appears whole and closed: a test that removes it the moment it exists must
  // never meet it still open (Windows refuses to remove a file open without delete sharing).
  const std::filesystem::path creating = held.string() + ".creating";
  File(std::fopen(creating.string().c_str(), "wb"));
  std::filesystem::rename(creating, held, unknown);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (std::filesystem::exists(held, unknown) && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Starts a call of `entry_point`: takes its fault mode, holds the call or raises when
// told to.
void start_call(const char* entry_point) {
  char mode[32];
  standin::fault_mode(control(standin::faults_variable), entry_point, mode, sizeof mode);
  current_mode = mode;
  if (current_mode == "hold") hold(entry_point);
  if (current_mode == "throw") {
    standin::raise_library_exception(
        (std::string(entry_point) + " raised an exception (KORVANTA_STANDIN_FAULTS)").c_str(),
        note_destroyed);
  }
}

bool told_to_fail() {
  return current_mode == "fail";
}

std::string hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

const char* text_or_empty(const char* text) {
  return text ? text : "";
}

// The checks every call on an open port makes, in this order. Empty when all pass.
std::string refusal(const char* entry_point, std::uint8_t channel, bool needs_boot) {
  if (told_to_fail()) {
    return std::string(entry_point) + " failed (KORVANTA_STANDIN_FAULTS)";
  }
  if (channel != phone_channel) return "No such channel: " + std::to_string(channel);
  if (!port_open) return "Port not open";
  if (needs_boot && !booted) return "Phone not booted: send the sec-pack first";
  return {};
}

[[maybe_unused]] bool valid_port_name(const std::string& port) {
  const std::string prefix = "\\\\.\\USB";
  if (port.size() <= prefix.size() || port.compare(0, prefix.size(), prefix) != 0) return false;
  return std::all_of(port.begin() + prefix.size(), port.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// Files are named as the library gets their names: bytes that the C runtime reads (on
// Windows in the ANSI code page, where std::filesystem would read them as Latin-1).
bool regular_file(const char* path) {
  struct stat status {};
  return path && *path && ::stat(path, &status) == 0 && S_ISREG(status.st_mode);
}

int boot(const char* entry_point, std::uint8_t channel, const char* file, char* reply,
         char* status) {
  note("%s(%u, \"%s\")", entry_point, channel, text_or_empty(file));
  start_call(entry_point);
  if (std::string problem = refusal(entry_point, channel, false); !problem.empty()) {
    return refuse(status, problem);
  }
  if (!regular_file(file)) {
    return refuse(status, "Boot file not found: " + std::string(text_or_empty(file)));
  }
  booted = true;
  put_text(reply, reply_size, "KS360 ready");
  put_status(status, "Booted with " + std::string(file));
  return 0;
}

// The end of the partition that holds `address`, or 0 when none does. (Each helper used by
// one entry point only may go unused in a build that leaves that entry point out.)
[[maybe_unused]] std::uint64_t partition_end_at(std::uint32_t address) {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  for (const virtual_phone::FlashRegion& entry : virtual_phone::flash_regions) {
    const std::uint64_t entry_end = std::uint64_t{entry.address} + entry.size;
    if (address < entry.address || address >= entry_end) continue;
    if (end == 0 || entry.address > start || (entry.address == start && entry_end > end)) {
      start = entry.address;
      end = entry_end;
    }
  }
  return end;
}

}  // namespace

extern "C" {

#ifndef OMIT__IFWD_DL_get_dll_version
STANDIN_EXPORT const char* _IFWD_DL_get_dll_version() {
  note("_IFWD_DL_get_dll_version()");
  start_call("_IFWD_DL_get_dll_version");
  if (told_to_fail()) return nullptr;
  return "4.21 (Korvanta virtual KS360)";
}
#endif

#ifndef OMIT__IFWD_DL_set_dll_parameter
STANDIN_EXPORT int _IFWD_DL_set_dll_parameter(std::uint8_t channel, std::uint32_t parameter,
                                              std::uint32_t value, char* status) {
  note("_IFWD_DL_set_dll_parameter(%u, 0x%X, 0x%X)", channel, parameter, value);
  start_call("_IFWD_DL_set_dll_parameter");
  if (told_to_fail()) {
    return refuse(status, "_IFWD_DL_set_dll_parameter failed (KORVANTA_STANDIN_FAULTS)");
  }
  put_status(status, "Parameter set");
  return 0;
}
#endif

#ifndef OMIT__IFWD_DL_open_comm_port
STANDIN_EXPORT int _IFWD_DL_open_comm_port(std::uint8_t channel, const char* port,
                                           const char* control_port, char* reply, char* status) {
  note("_IFWD_DL_open_comm_port(%u, \"%s\", \"%s\")", channel, text_or_empty(port),
       text_or_empty(control_port));
  start_call("_IFWD_DL_open_comm_port");
  if (told_to_fail()) {
    return refuse(status, "_IFWD_DL_open_comm_port failed (KORVANTA_STANDIN_FAULTS)");
  }
  if (channel != phone_channel)
    return refuse(status, "No such channel: " + std::to_string(channel));
  const std::string name = text_or_empty(port);
  if (!valid_port_name(name)) {
    return refuse(status,
                  "Cannot open port \"" + name + "\": no such port (ports are \\\\.\\USB<n>)");
  }
  port_open = true;
  booted = false;
  put_text(reply, reply_size, "");
  put_status(status, "Port " + name + " open");
  return 0;
}
#endif

#ifndef OMIT__IFWD_DL_boot_bin_target
STANDIN_EXPORT int _IFWD_DL_boot_bin_target(std::uint8_t channel, const char* file, char* reply,
                                            char* status) {
  return boot("_IFWD_DL_boot_bin_target", channel, file, reply, status);
}
#endif

#ifndef OMIT__IFWD_DL_boot_target
STANDIN_EXPORT int _IFWD_DL_boot_target(std::uint8_t channel, const char* file, char* reply,
                                        char* status) {
  return boot("_IFWD_DL_boot_target", channel, file, reply, status);
}
#endif

#ifndef OMIT__IFWD_DL_download_bin_image
STANDIN_EXPORT int _IFWD_DL_download_bin_image(std::uint8_t channel, std::uint32_t address,
                                               std::uint32_t first_offset,
                                               std::uint32_t last_offset, const char* file,
                                               std::uint32_t options, char* status) {
  note("_IFWD_DL_download_bin_image(%u, 0x%08X, 0x%X, 0x%08X, \"%s\", 0x%X)", channel, address,
       first_offset, last_offset, text_or_empty(file), options);
  start_call("_IFWD_DL_download_bin_image");
  if (std::string problem = refusal("_IFWD_DL_download_bin_image", channel, true);
      !problem.empty()) {
    return refuse(status, problem);
  }
  if (first_offset > last_offset) return refuse(status, "First offset beyond the last offset");
  const std::uint64_t start = std::uint64_t{address} + first_offset;
  const std::uint64_t room = std::uint64_t{last_offset} - first_offset + 1;
  if (!inside_flash(start, room)) {
    return refuse(status, "Range " + hex(start) + "-" + hex(start + room - 1) +
                              " lies outside the flash (0x00000000-" +
                              hex(virtual_phone::flash_end() - 1) + ")");
  }
  const std::string name = text_or_empty(file);
  File data(name.empty() ? nullptr : std::fopen(name.c_str(), "rb"));
  if (!data) return refuse(status, "Cannot open data file \"" + name + "\"");
  struct stat data_status {};
  if (::stat(name.c_str(), &data_status) != 0) {
    return refuse(status, "Cannot read data file \"" + name + "\"");
  }
  const auto length = static_cast<std::uint64_t>(data_status.st_size);
  if (length > room) {
    return refuse(status, "Data file \"" + name + "\" holds " + std::to_string(length) +
                              " bytes, more than the " + std::to_string(room) +
                              " bytes of the range: nothing written");
  }
  std::vector<char> piece(virtual_phone::chunk_bytes);
  std::uint64_t written = 0;
  while (written < length) {
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), length - written));
    if (std::fread(piece.data(), 1, wanted, data.get()) != wanted) {
      return refuse(status, "Cannot read data file \"" + name + "\"");
    }
    std::string problem;
    if (!virtual_phone::write_flash(flash_folder(), start + written, piece.data(),
                                    static_cast<std::uint32_t>(wanted), problem)) {
      return refuse(status, problem);
    }
    written += wanted;
  }
  put_status(status, "Downloaded " + std::to_string(length) + " bytes at " + hex(start));
  return 0;
}
#endif

#ifndef OMIT__IFWD_DL_upload_bin_image
STANDIN_EXPORT int _IFWD_DL_upload_bin_image(std::uint8_t channel, std::uint32_t address,
                                             std::uint32_t length, const char* file,
                                             std::uint32_t options, char* status) {
  note("_IFWD_DL_upload_bin_image(%u, 0x%08X, 0x%08X, \"%s\", 0x%X)", channel, address, length,
       text_or_empty(file), options);
  start_call("_IFWD_DL_upload_bin_image");
  if (std::string problem = refusal("_IFWD_DL_upload_bin_image", channel, true); !problem.empty()) {
    return refuse(status, problem);
  }
  std::uint64_t raw_length = length;
  if (length == upload_all) {
    const std::uint64_t end = partition_end_at(address);
    if (end == 0) return refuse(status, "No partition holds " + hex(address) + ": give a length");
    raw_length = (end - address + page_size - 1) / page_size * block_size;
  }
  // Block k of the raw file carries page k; a last, partial block carries what fits of it.
  const std::uint64_t whole_blocks = raw_length / block_size;
  const std::uint64_t rest = raw_length % block_size;
  const std::uint64_t flash_bytes =
      whole_blocks * page_size + std::min<std::uint64_t>(rest, page_size);
  if (!inside_flash(address, flash_bytes)) {
    return refuse(status, "Range " + hex(address) + "+" + hex(flash_bytes) +
                              " lies outside the flash (0x00000000-" +
                              hex(virtual_phone::flash_end() - 1) + ")");
  }
  if (current_mode.rfind("cut:", 0) == 0) {
    raw_length =
        std::min<std::uint64_t>(raw_length, std::strtoull(current_mode.c_str() + 4, nullptr, 10));
  }
  const std::string name = text_or_empty(file);
  std::error_code no_earlier_file;
  const auto earlier_time = std::filesystem::last_write_time(name, no_earlier_file);
  const bool keep_time = current_mode == "keep_time" && !no_earlier_file;
  File raw(name.empty() ? nullptr : std::fopen(name.c_str(), "wb"));
  if (!raw) return refuse(status, "Cannot create raw file \"" + name + "\"");

  virtual_phone::FlashReader flash(flash_folder());
  std::vector<char> block(block_size, '\0');
  for (std::uint64_t written = 0; written < raw_length;) {
    const std::uint64_t block_length = std::min<std::uint64_t>(block_size, raw_length - written);
    const std::uint64_t page_start = address + written / block_size * page_size;
    std::string problem;
    if (!flash.read(page_start, block.data(),
                    static_cast<std::uint32_t>(std::min<std::uint64_t>(block_length, page_size)),
                    problem)) {
      return refuse(status, problem);
    }
    if (std::fwrite(block.data(), 1, block_length, raw.get()) != block_length) {
      return refuse(status, "Cannot write raw file \"" + name + "\"");
    }
    written += block_length;
  }
  if (std::fclose(raw.release()) != 0) {
    return refuse(status, "Cannot write raw file \"" + name + "\"");
  }
  std::error_code ignored;
  if (keep_time) std::filesystem::last_write_time(name, earlier_time, ignored);
  put_status(status, "Uploaded " + std::to_string(flash_bytes) + " bytes from " + hex(address));
  return 0;
}
#endif

#ifndef OMIT__IFWD_DL_force_target_reset
STANDIN_EXPORT int _IFWD_DL_force_target_reset(std::uint8_t channel, std::uint32_t mode,
                                               std::uint32_t delay, std::uint32_t reserved,
                                               std::uint32_t reset_kind, char* status) {
  note("_IFWD_DL_force_target_reset(%u, %u, %u, %u, %u)", channel, mode, delay, reserved,
       reset_kind);
  start_call("_IFWD_DL_force_target_reset");
  if (std::string problem = refusal("_IFWD_DL_force_target_reset", channel, false);
      !problem.empty()) {
    return refuse(status, problem);
  }
  booted = false;
  put_status(status, "Phone restarted");
  return 0;
}
#endif

#ifndef OMIT__IFWD_DL_close_comm_port
STANDIN_EXPORT int _IFWD_DL_close_comm_port(std::uint8_t channel, char* status) {
  note("_IFWD_DL_close_comm_port(%u)", channel);
  start_call("_IFWD_DL_close_comm_port");
  if (std::string problem = refusal("_IFWD_DL_close_comm_port", channel, false); !problem.empty()) {
    return refuse(status, problem);
  }
  port_open = false;
  booted = false;
  put_status(status, "Port closed");
  return 0;
}
#endif

#ifndef OMIT__IFWD_DL_get_sw_version_data
STANDIN_EXPORT int _IFWD_DL_get_sw_version_data(std::uint8_t channel, const char* file, char* reply,
                                                std::uint32_t offset, std::uint32_t length,
                                                char* status) {
  note("_IFWD_DL_get_sw_version_data(%u, \"%s\", %u, %u)", channel, text_or_empty(file), offset,
       length);
  start_call("_IFWD_DL_get_sw_version_data");
  if (std::string problem = refusal("_IFWD_DL_get_sw_version_data", channel, false);
      !problem.empty()) {
    return refuse(status, problem);
  }
  if (!regular_file(file)) {
    return refuse(status, "Sec-pack file not found: " + std::string(text_or_empty(file)));
  }
  put_text(reply, length, "KS360 SW V10c, flash " + hex(virtual_phone::flash_end()) + " bytes");
  put_status(status, "Version data read");
  return 0;
}
#endif

}  // extern "C"
