# Fails unless the Windows program is a 32-bit x86 program (PE32, i386), the only kind of
# process that can load the vendor's 32-bit libraries, and unless it imports only the
# system's own DLLs: it must run on a stock Windows installation, so the C++ runtime is
# linked into it and no DLL of the MinGW runtime (libstdc++, libgcc, libwinpthread, ...)
# may be imported; and unless its OS and subsystem versions are Windows 7's. Also fails
# unless Windows would read it as the program it is: an application manifest that asks to
# run as the invoker (no UAC virtualization) and names Windows 7 to 11, nothing in it that
# changes how paths reach the vendor's ANSI calls, version information with VERSION, and
# the terminal-server-aware mark.
#
# cmake -DOBJDUMP=<objdump for the target> -DPROGRAM=<program file> -DVERSION=<x.y.z>
#       -P check-windows-program.cmake
foreach(setting OBJDUMP PROGRAM VERSION)
  if(NOT DEFINED ${setting})
    message(FATAL_ERROR "${setting} is not set")
  endif()
endforeach()

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM}
  RESULT_VARIABLE dumped OUTPUT_VARIABLE headers ERROR_VARIABLE dump_errors)
if(NOT dumped EQUAL 0)
  message(FATAL_ERROR "cannot read ${PROGRAM}: ${dump_errors}")
endif()
if(NOT headers MATCHES "file format pei-i386" OR NOT headers MATCHES "Magic[ \t]+010b")
  string(REGEX MATCH "file format [^\n]+" format "${headers}")
  message(FATAL_ERROR "${PROGRAM} is not a 32-bit x86 program (PE32, i386): ${format}")
endif()
# Windows 7 SP1 (6.1) is the oldest Windows the program supports, and its image says so.
foreach(field OSystem Subsystem)
  string(REGEX MATCH "Major${field}Version[ \t]+([0-9]+)" major "${headers}")
  set(major ${CMAKE_MATCH_1})
  string(REGEX MATCH "Minor${field}Version[ \t]+([0-9]+)" minor "${headers}")
  set(minor ${CMAKE_MATCH_1})
  if(NOT "${major}.${minor}" STREQUAL "6.1")
    message(FATAL_ERROR "${PROGRAM} says ${field} version ${major}.${minor}, expected 6.1 (Windows 7)")
  endif()
endforeach()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "${PROGRAM} lists no imported DLL: not a Windows program?")
endif()
set(names)
foreach(import IN LISTS imports)
  string(REPLACE "DLL Name: " "" name "${import}")
  string(TOLOWER "${name}" lower)
  if(lower MATCHES "^lib")
    message(FATAL_ERROR "${PROGRAM} needs ${name}, which a stock Windows lacks")
  endif()
  list(APPEND names ${name})
endforeach()
message(STATUS "${PROGRAM} is PE32 (i386) and imports ${names}")

# IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE
set(aware 0)
if(headers MATCHES "DllCharacteristics[ \t]+([0-9a-fA-F]+)")
  math(EXPR aware "0x${CMAKE_MATCH_1} & 0x8000")
endif()
if(aware EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} is not marked terminal-server aware")
endif()

# The resource directory that objdump prints names the manifest (type 24, RT_MANIFEST) and
# the version information (type 16, RT_VERSION), each with ID 1; their text is then looked
# for in the file.
foreach(type 18 10)
  if(NOT headers MATCHES "Entry: ID: 0x0000${type},[^\n]*\n[^\n]*Name Table[^\n]*\n[^\n]*Entry: ID: 0x000001,")
    message(FATAL_ERROR "${PROGRAM} has no resource of type 0x${type} with ID 1 "
                        "(0x18: application manifest, 0x10: version information)")
  endif()
endforeach()
file(STRINGS ${PROGRAM} manifest REGEX "<|>")
string(JOIN "\n" manifest ${manifest})
set(windows_versions "Windows 7" 35138b9a-5d96-4fbd-8e2d-a2440225f93a
                     "Windows 8" 4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38
                     "Windows 8.1" 1f676c76-80e1-4239-95bb-83d0f6d0da78
                     "Windows 10 and 11" 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a)
while(windows_versions)
  list(POP_FRONT windows_versions windows id)
  if(NOT manifest MATCHES "<supportedOS Id=\"{${id}}\"")
    message(FATAL_ERROR "${PROGRAM}'s manifest does not name ${windows} as supported")
  endif()
endwhile()
if(NOT manifest MATCHES "<requestedExecutionLevel level=\"asInvoker\"")
  message(FATAL_ERROR "${PROGRAM}'s manifest does not ask to run as the invoker "
                      "(requestedExecutionLevel asInvoker)")
endif()
foreach(setting activeCodePage longPathAware)
  if(manifest MATCHES "${setting}")
    message(FATAL_ERROR "${PROGRAM}'s manifest sets ${setting}, which changes the paths "
                        "that the vendor's ANSI calls get")
  endif()
endforeach()

# The version as the file's Properties show it: the version block's own numbers
# (VS_FIXEDFILEINFO: its signature FEEF04BD, structure version 1.0, then the file
# version's two halves, little-endian), then its strings, in UTF-16.
function(le32_hex value result)
  math(EXPR value "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(REPLACE "0x" "0000000" value "${value}")
  string(REGEX REPLACE ".*(..)(..)(..)(..)$" "\\4\\3\\2\\1" value "${value}")
  set(${result} ${value} PARENT_SCOPE)
endfunction()
file(READ ${PROGRAM} image HEX)
string(REGEX MATCH "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$" parts "${VERSION}")
le32_hex("(${CMAKE_MATCH_1} << 16) | ${CMAKE_MATCH_2}" most)
le32_hex("${CMAKE_MATCH_3} << 16" least)
if(NOT image MATCHES "bd04effe00000100${most}${least}")
  message(FATAL_ERROR "${PROGRAM} holds no version information of version ${VERSION}")
endif()
# Each string of the block is its key, then its value, in UTF-16 with their NULs, padded
# to four bytes.
function(utf16_hex text result)
  string(HEX "${text}" bytes)
  string(REGEX REPLACE "(..)" "\\100" wide "${bytes}")
  set(${result} "${wide}0000" PARENT_SCOPE)
endfunction()
foreach(key FileVersion ProductVersion)
  utf16_hex(${key} key_hex)
  utf16_hex(${VERSION} version_hex)
  if(NOT image MATCHES "${key_hex}(0000)*${version_hex}")
    message(FATAL_ERROR "${PROGRAM}'s version information has no ${key} ${VERSION}")
  endif()
endforeach()
message(STATUS "${PROGRAM}: manifest asInvoker for Windows 7 to 11, version ${VERSION}, "
               "terminal-server aware")
