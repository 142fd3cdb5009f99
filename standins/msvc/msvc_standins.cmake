# The Windows stand-ins of the phone maker's libraries, built the way the vendor's are:
# 32-bit x86 code of Microsoft's ABI (clang for i686-pc-windows-msvc, linked by lld-link),
# without a C runtime, importing only system DLLs through import libraries that
# llvm-dlltool makes from msvc/*.def. A CString argument is then an ordinary class passed
# by value (abi_msvc/string_argument.hpp), and the compiler itself applies Microsoft's
# rules. Defines korvanta_layout_standin for these libraries.

find_program(KORVANTA_CLANG NAMES clang clang-14 REQUIRED)
find_program(KORVANTA_LLD_LINK NAMES lld-link lld-link-14 REQUIRED)
find_program(KORVANTA_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)

set(msvc_dir ${CMAKE_CURRENT_BINARY_DIR}/msvc)
set(msvc_source_dir ${CMAKE_CURRENT_SOURCE_DIR})

set(msvc_import_libraries)
foreach(dll kernel32 msvcrt ntdll)
  add_custom_command(OUTPUT ${msvc_dir}/${dll}.lib
    COMMAND ${CMAKE_COMMAND} -E make_directory ${msvc_dir}
    COMMAND ${KORVANTA_DLLTOOL} -m i386 -k -d ${msvc_source_dir}/msvc/${dll}.def
      -l ${msvc_dir}/${dll}.lib
    DEPENDS ${msvc_source_dir}/msvc/${dll}.def
    VERBATIM)
  list(APPEND msvc_import_libraries ${msvc_dir}/${dll}.lib)
endforeach()

# __try/__except needs -fms-extensions and SEH without C++ exceptions; no run-time type
# information, whose tables would need the C runtime's type_info.
set(msvc_target --target=i686-pc-windows-msvc)
set(msvc_cxx_flags -std=c++20 -O2 -fms-extensions -fexceptions -fno-cxx-exceptions -fno-rtti
  -nostdlibinc -Wall -Wextra -I${CMAKE_SOURCE_DIR} -I${msvc_source_dir}/common/abi_msvc)
if(KORVANTA_WERROR)
  list(APPEND msvc_target -Werror)
endif()

# Compiles `source` (relative to standins/) into `folder`, with the further flags given;
# appends the object file to the list named `object_list`.
function(korvanta_msvc_object object_list source folder)
  get_filename_component(name ${source} NAME)
  set(object ${folder}/${name}.obj)
  if(source MATCHES "[.]s$")
    # The assembler tells no dependencies: the layout's include file is named instead.
    set(flags ${msvc_target})
    set(included ${msvc_source_dir}/asm/coff_i386/layout.inc)
    set(depfile)
  else()
    set(flags ${msvc_target} ${msvc_cxx_flags} -MD -MF ${object}.d)
    set(included)
    set(depfile DEPFILE ${object}.d)
  endif()
  add_custom_command(OUTPUT ${object}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${KORVANTA_CLANG} ${flags} ${ARGN}
      -c ${msvc_source_dir}/${source} -o ${object}
    DEPENDS ${msvc_source_dir}/${source} ${included}
    ${depfile}
    COMMAND_EXPAND_LISTS VERBATIM)
  set(${object_list} ${${object_list}} ${object} PARENT_SCOPE)
endfunction()

set(msvc_common_objects)
foreach(source common/framework_string.cpp common/system_win32.cpp common/test_controls.cpp
               common/library_exception_msvc.cpp common/lifetime_msvc.cpp
               common/frames_msvc.cpp common/windows_unwind_msvc.cpp)
  korvanta_msvc_object(msvc_common_objects ${source} ${msvc_dir}/common)
endforeach()

# Further arguments: the sources, then optionally LINK and import libraries of the
# stand-in's own helper libraries.
function(korvanta_layout_standin target file_name folder layout settings)
  cmake_parse_arguments(PARSE_ARGV 5 standin "" "" "LINK")
  set(objects ${msvc_common_objects})
  set(defines)
  foreach(setting ${settings})
    list(APPEND defines -Wa,-defsym,${setting})
  endforeach()
  korvanta_msvc_object(objects ${layout} ${msvc_dir}/${target}
    -I${msvc_source_dir}/asm/coff_i386 ${defines})
  foreach(source ${standin_UNPARSED_ARGUMENTS})
    korvanta_msvc_object(objects ${source} ${msvc_dir}/${target})
  endforeach()
  # The entry point logs the library's loading and release; there is no C runtime's.
  add_custom_command(OUTPUT ${folder}/${file_name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${KORVANTA_LLD_LINK} /nologo /dll /machine:x86 /nodefaultlib /entry:standin_entry
      /safeseh:no /out:${folder}/${file_name} /implib:${msvc_dir}/${target}.lib
      ${objects} ${msvc_import_libraries} ${standin_LINK}
    DEPENDS ${objects} ${msvc_import_libraries} ${standin_LINK}
    VERBATIM)
  add_custom_target(${target} DEPENDS ${folder}/${file_name})
  add_dependencies(korvanta_standins ${target})
endfunction()

# A small library of a stand-in's own, as a vendor ships beside its library: `source`
# built into `folder`/`file_name`, with its import library in the build's msvc folder
# (`msvc_dir`/<target>.lib), for a stand-in to LINK.
function(korvanta_msvc_helper target file_name folder source)
  set(objects)
  korvanta_msvc_object(objects ${source} ${msvc_dir}/${target})
  add_custom_command(OUTPUT ${folder}/${file_name} ${msvc_dir}/${target}.lib
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${KORVANTA_LLD_LINK} /nologo /dll /machine:x86 /nodefaultlib /noentry
      /out:${folder}/${file_name} /implib:${msvc_dir}/${target}.lib ${objects}
    DEPENDS ${objects}
    VERBATIM)
  add_custom_target(${target} DEPENDS ${folder}/${file_name})
  add_dependencies(korvanta_standins ${target})
endfunction()
