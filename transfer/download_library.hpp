// The flash download library IFWD_DownloadDll.dll: the types of its entry points, the
// buffers the phone actions hand to it, and the steps that every phone action shares.
// The stand-in library of the project is built against the same types.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/calling_convention.hpp"
#include "platform/fault_guard.hpp"

inline constexpr const char* download_library_name = "IFWD_DownloadDll.dll";

// Every call but the version query names the channel first; the program uses one only.
inline constexpr std::uint8_t phone_channel = 1;

// Each entry point returns 0 on success; the status buffer receives the library's text.
// The library is Microsoft-built 32-bit code: every export is __cdecl.
extern "C" {
using GetDllVersion = const char* KORVANTA_CDECL();
using SetDllParameter = int KORVANTA_CDECL(std::uint8_t channel, std::uint32_t parameter,
                                           std::uint32_t value, char* status);
using OpenCommPort = int KORVANTA_CDECL(std::uint8_t channel, const char* port,
                                        const char* control_port, char* reply, char* status);
using BootBinTarget = int KORVANTA_CDECL(std::uint8_t channel, const char* file, char* reply,
                                         char* status);
using BootTarget = int KORVANTA_CDECL(std::uint8_t channel, const char* file, char* reply,
                                      char* status);
using DownloadBinImage = int KORVANTA_CDECL(std::uint8_t channel, std::uint32_t address,
                                            std::uint32_t first_offset, std::uint32_t last_offset,
                                            const char* file, std::uint32_t options, char* status);
// `length` counts bytes of the raw read-back file (16,384 per page of 2,048 bytes);
// 0xFFFFFFFF asks for everything up to the library's own bound.
using UploadBinImage = int KORVANTA_CDECL(std::uint8_t channel, std::uint32_t address,
                                          std::uint32_t length, const char* file,
                                          std::uint32_t options, char* status);
using ForceTargetReset = int KORVANTA_CDECL(std::uint8_t channel, std::uint32_t mode,
                                            std::uint32_t delay, std::uint32_t reserved,
                                            std::uint32_t reset_kind, char* status);
using CloseCommPort = int KORVANTA_CDECL(std::uint8_t channel, char* status);
using GetSwVersionData = int KORVANTA_CDECL(std::uint8_t channel, const char* file, char* reply,
                                            std::uint32_t offset, std::uint32_t length,
                                            char* status);
}

// Calls one entry point. A C++ exception that the library raises, also one of Microsoft's
// runtime, reaches the caller as platform::LibraryException (see platform/fault_guard.hpp).
template <typename Entry, typename... Arguments>
auto call_entry(Entry* entry, Arguments... arguments) {
  return platform::call_library([&] { return entry(arguments...); });
}

// A buffer handed to the library by address, starting as empty text.
template <std::size_t size>
using PhoneBuffer = std::array<char, size>;
inline constexpr std::size_t status_buffer_size = 512;
inline constexpr std::size_t reply_buffer_size = 512;
using StatusBuffer = PhoneBuffer<status_buffer_size>;
using ReplyBuffer = PhoneBuffer<reply_buffer_size>;

// The text the library left in the buffer, cut at its last byte when the library wrote
// no terminator.
template <std::size_t size>
std::string buffer_text(PhoneBuffer<size>& buffer) {
  buffer.back() = '\0';
  return buffer.data();
}

// Prints "Version of DLL: " and the library's version text (nothing after it when the
// library gives none).
void print_dll_version(GetDllVersion* get_dll_version);

// The closing steps after a session with the phone: reset, close the port, with their
// console lines. The results are not looked at.
void restart_and_close_port(ForceTargetReset* reset, CloseCommPort* close, StatusBuffer& status);

// Closes the port and says so; the result is not looked at.
void close_port(CloseCommPort* close, StatusBuffer& status);

// Prints the port prompt and reads the port name as a whole line.
std::string ask_port_name();

// Prints the sec-pack prompt and reads the file name as a whole line.
std::string ask_sec_pack_file();
