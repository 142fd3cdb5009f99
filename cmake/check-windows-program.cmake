# Fails unless the Windows program is a 32-bit x86 program (PE32, i386), the only kind of
# process that can load the vendor's 32-bit libraries, and unless it imports only the
# system's own DLLs: it must run on a stock Windows installation, so the C++ runtime is
# linked into it and no DLL of the MinGW runtime (libstdc++, libgcc, libwinpthread, ...)
# may be imported.
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
