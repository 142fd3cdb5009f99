# Fails unless the Windows program is a 32-bit x86 program (PE32, i386), the only kind of
# process that can load the vendor's 32-bit libraries, and unless it imports only the
# system's own DLLs: it must run on a stock Windows installation, so the C++ runtime is
# linked into it and no DLL of the MinGW runtime (libstdc++, libgcc, libwinpthread, ...)
# may be imported; and unless its OS and subsystem versions are Windows 7's.
#
# cmake -DOBJDUMP=<objdump for the target> -DPROGRAM=<program file> -P check-windows-program.cmake
foreach(setting OBJDUMP PROGRAM)
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
