// The flash download library IFWD_DownloadDll.dll as the vendor built it: the names and
// types of its exports. It is Microsoft-built 32-bit code, and every export is __cdecl.
#pragma once

#include <cstdint>

#include "vendor_abi/calling_convention.hpp"

namespace vendor_abi {

inline constexpr const char* download_library_name = "IFWD_DownloadDll.dll";

// Each entry point returns 0 on success; the status buffer receives the library's text.
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

}  // namespace vendor_abi
