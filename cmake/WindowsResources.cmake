# What horalux.exe carries besides its code: the version record, the manifest, the clock icon,
# rendered from packaging/org.horalux.horalux.svg at build time, and the message table of its
# events in the Windows event log. Also configured in builds without
# the window, so that the resources can be compiled and inspected on their own.

set(HORALUX_ICON_FILE ${PROJECT_BINARY_DIR}/packaging/windows/horalux.ico)
set(HORALUX_ICON_SOURCE ${PROJECT_SOURCE_DIR}/packaging/org.horalux.horalux.svg)
# The sizes Windows picks from: small and large icons at 100 % to 250 % scale, and Explorer's
# largest view (stored as PNG, which keeps the file small).
set(HORALUX_ICON_SIZES 16 20 24 32 40 48 64)
set(HORALUX_ICON_LARGE_SIZE 256)

find_program(HORALUX_RSVG_CONVERT rsvg-convert)
find_program(HORALUX_ICOTOOL icotool)
find_program(HORALUX_MAGICK NAMES magick)
set(icon_dir ${PROJECT_BINARY_DIR}/packaging/windows/icon)
if(HORALUX_RSVG_CONVERT AND HORALUX_ICOTOOL)
  set(commands COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir})
  set(small_pngs)
  foreach(size ${HORALUX_ICON_SIZES} ${HORALUX_ICON_LARGE_SIZE})
    list(APPEND commands COMMAND ${HORALUX_RSVG_CONVERT} -w ${size} -h ${size}
         -o ${icon_dir}/${size}.png ${HORALUX_ICON_SOURCE})
    if(NOT size EQUAL HORALUX_ICON_LARGE_SIZE)
      list(APPEND small_pngs ${icon_dir}/${size}.png)
    endif()
  endforeach()
  list(APPEND commands COMMAND ${HORALUX_ICOTOOL} -c -o ${HORALUX_ICON_FILE} ${small_pngs}
       -r ${icon_dir}/${HORALUX_ICON_LARGE_SIZE}.png)
elseif(HORALUX_MAGICK)
  # ImageMagick 7, as installed on Windows.
  string(JOIN "," all_sizes ${HORALUX_ICON_LARGE_SIZE} ${HORALUX_ICON_SIZES})
  set(commands COMMAND ${HORALUX_MAGICK} -background none -density 384 ${HORALUX_ICON_SOURCE}
               -define icon:auto-resize=${all_sizes} ${HORALUX_ICON_FILE})
else()
  message(FATAL_ERROR "Rendering the program's icon needs rsvg-convert and icotool (Debian: "
                      "librsvg2-bin, icoutils) or ImageMagick 7 (magick) on the PATH")
endif()
add_custom_command(OUTPUT ${HORALUX_ICON_FILE} ${commands}
                   DEPENDS ${HORALUX_ICON_SOURCE}
                   COMMENT "Rendering the program's icon"
                   VERBATIM)
add_custom_target(horalux_icon DEPENDS ${HORALUX_ICON_FILE})

# The copyright's year is the release's (cmake/Version.cmake), not the build's.
string(SUBSTRING "${HORALUX_RELEASE_DATE}" 0 4 HORALUX_RELEASE_YEAR)
set(HORALUX_EXE_FILE_NAME horalux.exe)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/horalux.rc.in
               ${PROJECT_BINARY_DIR}/packaging/windows/horalux.rc @ONLY)
set(HORALUX_WINDOWS_RESOURCES ${PROJECT_BINARY_DIR}/packaging/windows/horalux.rc)
# The console companion, horalux.com: the same record under its own file name, and a manifest
# that asks for no elevation, since an elevated program cannot write to the prompt it was typed at.
set(HORALUX_EXE_FILE_NAME horalux.com)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/horalux.rc.in
               ${PROJECT_BINARY_DIR}/packaging/windows/horalux-console.rc @ONLY)
set(HORALUX_CONSOLE_RESOURCES ${PROJECT_BINARY_DIR}/packaging/windows/horalux-console.rc)
# The events' message table, compiled by the message compiler (MinGW's windmc, or Windows' mc:
# both take -h and -r) into a resource script and the table it names.
string(REGEX REPLACE "windres$" "windmc" message_compiler_guess "${CMAKE_RC_COMPILER}")
find_program(HORALUX_MESSAGE_COMPILER NAMES ${message_compiler_guess} windmc mc)
if(NOT HORALUX_MESSAGE_COMPILER)
  message(FATAL_ERROR "The event log's message table needs a message compiler (MinGW's windmc, "
                      "Debian: binutils-mingw-w64; or the Windows SDK's mc)")
endif()
set(events_dir ${PROJECT_BINARY_DIR}/packaging/windows/events)
add_custom_command(OUTPUT ${events_dir}/horalux_events.rc
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${events_dir}
                   COMMAND ${HORALUX_MESSAGE_COMPILER} -h ${events_dir} -r ${events_dir}
                           ${PROJECT_SOURCE_DIR}/packaging/windows/horalux_events.mc
                   DEPENDS ${PROJECT_SOURCE_DIR}/packaging/windows/horalux_events.mc
                   COMMENT "Compiling the event log's message table"
                   VERBATIM)
# Targets in other folders wait for it through this one (add_dependencies), as for the icon.
add_custom_target(horalux_event_messages DEPENDS ${events_dir}/horalux_events.rc)
set(HORALUX_EVENT_MESSAGES ${events_dir}/horalux_events.rc)
list(APPEND HORALUX_WINDOWS_RESOURCES ${HORALUX_EVENT_MESSAGES})
list(APPEND HORALUX_CONSOLE_RESOURCES ${HORALUX_EVENT_MESSAGES})

if(MSVC)
  # The MSVC linker embeds manifests given as sources itself.
  list(APPEND HORALUX_WINDOWS_RESOURCES ${PROJECT_SOURCE_DIR}/packaging/windows/horalux.manifest)
  list(APPEND HORALUX_CONSOLE_RESOURCES
       ${PROJECT_SOURCE_DIR}/packaging/windows/horalux-console.manifest)
else()
  list(APPEND HORALUX_WINDOWS_RESOURCES ${PROJECT_SOURCE_DIR}/packaging/windows/manifest.rc)
  list(APPEND HORALUX_CONSOLE_RESOURCES ${PROJECT_SOURCE_DIR}/packaging/windows/console_manifest.rc)
endif()
