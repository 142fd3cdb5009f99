# Cross-compiles for 32-bit x86 Windows with Debian's MinGW-w64 compiler (posix threads):
# the vendor's libraries are 32-bit DLLs, which only a 32-bit process can load. The test
# programs then run under 32-bit wine through cmake/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(mingw_prefix i686-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)

# Look for libraries and headers only in the MinGW tree, never in the host's /usr/include
# (its glibc headers break a Windows build); programs are still the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime, libgcc and winpthread go into every program and library, so that
# korvanta.exe runs on a stock Windows installation without MinGW's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# The oldest Windows the program runs on is Windows 7 SP1 (6.1): its image says so in its
# OS and subsystem version fields, instead of the linker's NT 4.0.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--major-os-version,6,--minor-os-version,1"
       " -Wl,--major-subsystem-version,6,--minor-subsystem-version,1")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Test programs (and gtest_discover_tests) run under wine, in a wine prefix of the build.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run ${CMAKE_BINARY_DIR}/wine)
