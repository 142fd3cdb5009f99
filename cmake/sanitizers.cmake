# The sanitized builds, in one place.
#   KORVANTA_SANITIZE  (preset asan) everything with g++'s AddressSanitizer and
#                      UndefinedBehaviorSanitizer, without recovery;
#   KORVANTA_FUZZ      (preset fuzz, clang) the same, with libFuzzer's coverage.
# The run-time options of the sanitizers are compiled into every program of such a build
# (korvanta_sanitizer_defaults, from sanitizer_defaults.cpp), so that neither a test
# preset nor the transcript harness has to set them. They report leaks, let the fault
# guard's own signal handlers take the faults that letters H and I contain on purpose, and
# end a program with a report with status 86.
option(KORVANTA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

set(KORVANTA_ASAN_DEFAULTS
  "detect_leaks=1:allow_user_segv_handler=1:detect_stack_use_after_return=0:strict_string_checks=1:exitcode=86")
set(KORVANTA_UBSAN_DEFAULTS "print_stacktrace=1:halt_on_error=1:exitcode=86")

if(KORVANTA_SANITIZE OR KORVANTA_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  if(KORVANTA_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()

# Gives a program of a sanitized build the run-time options; nothing elsewhere.
function(korvanta_sanitizer_defaults target)
  if(KORVANTA_SANITIZE OR KORVANTA_FUZZ)
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/cmake/sanitizer_defaults.cpp)
    set_source_files_properties(${CMAKE_SOURCE_DIR}/cmake/sanitizer_defaults.cpp
      TARGET_DIRECTORY ${target} PROPERTIES COMPILE_DEFINITIONS
      "KORVANTA_ASAN_DEFAULTS=\"${KORVANTA_ASAN_DEFAULTS}\";KORVANTA_UBSAN_DEFAULTS=\"${KORVANTA_UBSAN_DEFAULTS}\"")
  endif()
endfunction()
