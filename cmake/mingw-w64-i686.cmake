# Cross-compiles for 32-bit Windows (i686-w64-mingw32), which also runs on every 64-bit Windows;
# everything else as for 64-bit Windows.
set(HORALUX_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
