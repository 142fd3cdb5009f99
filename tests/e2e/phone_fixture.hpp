// The program run against the virtual phone: the stand-in download library beside it,
// its flash and call log in the work folder, and the texts its runs print.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <thread>

#include "tests/support/transcript.hpp"

namespace phone_testing {

using testing_support::Bytes;
using testing_support::Environment;
using testing_support::Session;

inline const std::string library_file = "IFWD_DownloadDll.dll";
inline const std::string version = "Version of DLL: 4.21 (Korvanta virtual KS360)\n";
inline const std::string port_prompt = "USB port (Ex: \\\\.\\USB1): ";
inline const std::string sec_pack_prompt = "Sec-pack file(Ex: C:\\KS360_psi.flb): ";
inline const std::string usb1 = "\\\\.\\USB1";

// What a transfer prints up to the port opening, and after the boot.
inline const std::string transfer_opening =
    version + port_prompt + sec_pack_prompt + "Data file: " + "Loading...\n";
inline const std::string booted =
    "Port open... PLUG THE PHONE\nSend of the sec-pack...\nsec-pack sended...\n";
inline const std::string sending = "Sending memory data in progress...\n";
inline const std::string receiving = "Receiving memory data in progress...\n";
inline const std::string closing = "Restarting the phone..\nRestarted..\nPort closed\n";

// The three answers of a transfer.
inline std::string answers(const std::string& data_file, const std::string& sec_pack = "psi.flb",
                           const std::string& port = usb1) {
  return port + "\n" + sec_pack + "\n" + data_file + "\n";
}

inline std::string hex8(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

// Call log lines of the stand-in.
inline std::string open_call(const std::string& port = usb1) {
  return "_IFWD_DL_open_comm_port(1, \"" + port + "\", \"" + port + "\")\n";
}
inline std::string boot_call(const std::string& file = "psi.flb") {
  return "_IFWD_DL_boot_bin_target(1, \"" + file + "\")\n";
}
inline std::string download_call(std::uint32_t address, std::uint32_t last_offset,
                                 const std::string& file) {
  return "_IFWD_DL_download_bin_image(1, " + hex8(address) + ", 0x0, " + hex8(last_offset) +
         ", \"" + file + "\", 0x0)\n";
}
inline std::string upload_call(std::uint32_t address, std::uint32_t length,
                               const std::string& file) {
  return "_IFWD_DL_upload_bin_image(1, " + hex8(address) + ", " + hex8(length) + ", \"" + file +
         "\", 0x0)\n";
}
inline const std::string version_call = "_IFWD_DL_get_dll_version()\n";
inline const std::string reset_call = "_IFWD_DL_force_target_reset(1, 0, 0, 0, 2)\n";
inline const std::string close_call = "_IFWD_DL_close_comm_port(1)\n";
// Logged when whoever caught an exception the stand-in raised destroys it.
inline const std::string destroyed = "exception object destroyed\n";

// One binding of the library: "load", the calls, "unload".
inline std::string bound(std::initializer_list<std::string> calls) {
  std::string log = "load " + library_file + "\n";
  for (const std::string& call : calls) log += call;
  return log + "unload " + library_file + "\n";
}

// Waits until `done` holds, ten seconds at most (scaled for slow checkers).
inline bool wait_until(const std::function<bool()>& done) {
  const auto give_up =
      std::chrono::steady_clock::now() + testing_support::scaled_time(std::chrono::seconds(10));
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

inline Bytes random_bytes(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(count);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
  return bytes;
}

// One run of the program: its whole input, the stand-in controls, what the action
// printed (one menu pass) and the stand-in's whole call log.
struct PhoneRun {
  const char* what;
  std::string input;
  Environment controls;
  std::string printed;
  std::string log;
};

class PhoneTranscript : public testing_support::TranscriptTest {
 protected:
  PhoneTranscript() {
    install_library(library_file);
    testing_support::write_bytes(work("psi.flb"), Bytes(64, 0x11));
  }

  // Runs the program against the virtual phone, with more stand-in controls if given.
  Session run_phone(const std::string& input, Environment controls = {},
                    std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    std::filesystem::remove(log_path());
    controls.emplace_back("KORVANTA_VIRTUAL_PHONE", work("flash").string());
    controls.emplace_back("KORVANTA_STANDIN_LOG", log_path().string());
    return run(input, controls, timeout);
  }

  // The stand-in's call log of the last run; empty when the library was never loaded.
  std::string calls() const {
    return std::filesystem::exists(log_path()) ? testing_support::read_text(log_path()) : "";
  }

  void expect_runs(std::initializer_list<PhoneRun> runs) {
    for (const PhoneRun& expected : runs) {
      SCOPED_TRACE(expected.what);
      const Session session = run_phone(expected.input, expected.controls);
      EXPECT_EQ(session.output, testing_support::transcript({expected.printed}));
      EXPECT_EQ(calls(), expected.log);
    }
  }

  void install_variant_without(const std::string& entry_point) {
    install_library("variants/no_" + entry_point.substr(std::string("_IFWD_DL_").size()) + "/" +
                    library_file);
  }
  void remove_library() { std::filesystem::remove(program_folder() / library_file); }

  // The stand-in controls that hold the upload until the test lets it go (release_upload),
  // and the same run's step: waits for the hold, takes `step`, then lets the upload go.
  static Environment held_upload() {
    return {{"KORVANTA_STANDIN_FAULTS", "_IFWD_DL_upload_bin_image=hold"}};
  }
  void while_upload_held(std::function<void()> step) {
    while_running([this, step](long) {
      const auto held = work("flash") / "_IFWD_DL_upload_bin_image.held";
      ASSERT_TRUE(wait_until([&] { return std::filesystem::exists(held); }))
          << "the upload was never held";
      step();
      std::filesystem::remove(held);
    });
  }

 private:
  std::filesystem::path log_path() const { return program_folder().parent_path() / "phone.log"; }
};

}  // namespace phone_testing
