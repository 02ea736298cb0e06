# Warnings and sanitizers apply to every target of the project alike.

if(MSVC)
  add_compile_options(/W4 /utf-8)
  if(HORALUX_WERROR)
    add_compile_options(/WX)
  endif()
else()
  add_compile_options(-Wall -Wextra -Wpedantic)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 warns at -O3 of an overlapping copy in std::string's "text" + std::string(...), which
    # there is none of (GCC bug 105329); the release builds for Windows would fail on it.
    add_compile_options(-Wno-restrict)
  endif()
  if(HORALUX_WERROR)
    add_compile_options(-Werror)
  endif()
endif()

if(WIN32)
  # horalux.exe runs on Windows 7 SP1 and later: the headers then declare nothing newer, and what
  # is newer must be looked up at run time (ui/win32/dpi.h).
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601)
endif()

if(HORALUX_SANITIZE)
  set(HORALUX_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${HORALUX_SANITIZER_FLAGS})
  add_link_options(${HORALUX_SANITIZER_FLAGS})
endif()

if(HORALUX_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "HORALUX_FUZZ needs clang (libFuzzer)")
endif()

# Tests of one subsystem are registered the same way everywhere.
function(horalux_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()
