# Builds the release archive into a scratch folder and fails unless it holds exactly the
# files expected (the program, the technician's guide GUIDE.txt, ...), the guide with the
# same bytes as the guide of the source tree, whose line ends the tests check. A stand-in
# library in the archive would shadow the vendor's real library of the same name on the
# technician's PC. The program packed (PROGRAM, its file name) must carry no debug section
# (DWARF, with the build's source paths in it), and a Windows program must pass
# check-windows-program.cmake, as packed.
#
# cmake -DCPACK=<cpack> -DBUILD_DIR=<build folder> "-DEXPECTED=<file name>;..."
#       -DGUIDE=<docs/guide.txt> -DOUTPUT_DIR=<scratch folder> -DPROGRAM=<file name>
#       -DOBJDUMP=<objdump for the target> [-DVERSION=<x.y.z> for a Windows program]
#       -P check-release-archive.cmake
foreach(setting CPACK BUILD_DIR EXPECTED GUIDE OUTPUT_DIR PROGRAM OBJDUMP)
  if(NOT DEFINED ${setting})
    message(FATAL_ERROR "${setting} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${OUTPUT_DIR})
file(MAKE_DIRECTORY ${OUTPUT_DIR})
execute_process(
  COMMAND ${CPACK} -G ZIP -B ${OUTPUT_DIR} --config ${BUILD_DIR}/CPackConfig.cmake
  RESULT_VARIABLE packed OUTPUT_VARIABLE pack_log ERROR_VARIABLE pack_log)
if(NOT packed EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${pack_log}")
endif()
file(GLOB archives ${OUTPUT_DIR}/*.zip)
list(LENGTH archives archive_count)
if(NOT archive_count EQUAL 1)
  message(FATAL_ERROR "expected one ZIP archive, found: ${archives}")
endif()

execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar tf ${archives}
  RESULT_VARIABLE listed OUTPUT_VARIABLE listing ERROR_VARIABLE list_errors)
if(NOT listed EQUAL 0)
  message(FATAL_ERROR "cannot list ${archives}: ${list_errors}")
endif()
string(REPLACE "\n" ";" entries "${listing}")

set(files)
foreach(entry IN LISTS entries)
  if(entry STREQUAL "" OR entry MATCHES "/$")
    continue()
  endif()
  get_filename_component(name ${entry} NAME)
  if(name MATCHES "\\.(dll|so|dylib)$")
    message(FATAL_ERROR "the archive holds a library: ${entry}")
  endif()
  list(APPEND files ${name})
  if(name STREQUAL "GUIDE.txt")
    set(guide_entry ${entry})
  elseif(name STREQUAL PROGRAM)
    set(program_entry ${entry})
  endif()
endforeach()
list(SORT files)
set(expected ${EXPECTED})
list(REMOVE_ITEM expected "")
list(SORT expected)
if(NOT files STREQUAL expected)
  message(FATAL_ERROR "the archive holds [${files}], expected [${expected}]")
endif()

set(unpacked ${OUTPUT_DIR}/unpacked)
file(ARCHIVE_EXTRACT INPUT ${archives} DESTINATION ${unpacked}
  PATTERNS ${guide_entry} ${program_entry})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E compare_files ${unpacked}/${guide_entry} ${GUIDE}
  RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "the archive's ${guide_entry} is not the bytes of ${GUIDE}")
endif()

set(packed_program ${unpacked}/${program_entry})
execute_process(COMMAND ${OBJDUMP} -h ${packed_program}
  RESULT_VARIABLE dumped OUTPUT_VARIABLE sections ERROR_VARIABLE dump_errors)
if(NOT dumped EQUAL 0)
  message(FATAL_ERROR "cannot read the sections of ${program_entry}: ${dump_errors}")
endif()
string(REGEX MATCHALL "\\.debug_[a-z_.]+" debug_sections "${sections}")
if(debug_sections)
  message(FATAL_ERROR "the archive's ${program_entry} carries debug sections: ${debug_sections}")
endif()
if(DEFINED VERSION)
  set(PROGRAM ${packed_program})
  include(${CMAKE_CURRENT_LIST_DIR}/check-windows-program.cmake)
endif()
message(STATUS "${archives} holds ${files}")
