# Cross-compiles for Windows with Debian's MinGW-w64, in its posix-threads flavour (std::thread,
# std::mutex): for 64-bit Windows as it stands, for 32-bit Windows through mingw-w64-i686.cmake,
# which sets HORALUX_MINGW_ARCH to i686 first. Programs are linked statically so that they run
# under Wine without DLLs beside them; when Wine is installed, ctest runs them through it.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT HORALUX_MINGW_ARCH)
  set(HORALUX_MINGW_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${HORALUX_MINGW_ARCH})

set(HORALUX_MINGW_TRIPLE ${HORALUX_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${HORALUX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HORALUX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HORALUX_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${HORALUX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian's wine64 package puts the loader outside PATH; it hands 32-bit programs to the 32-bit
# loader beside it (/usr/lib/wine/wine, from wine32:i386) when that is installed.
find_program(HORALUX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(HORALUX_WINE)
  # A Wine prefix of the build's own, quiet, and without the offers to download Mono and Gecko.
  set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
    ${HORALUX_WINE})
endif()
