# Installation, desktop integration and the Debian package. The program target comes from ui/.

include(GNUInstallDirs)

set(HORALUX_APP_ID org.horalux.horalux)
# One place for what the published metadata says about the project.
set(HORALUX_LICENSE "LicenseRef-proprietary")
set(HORALUX_HOMEPAGE_URL "https://github.com/horalux/horalux")
set(HORALUX_SCREENSHOT_URL "https://raw.githubusercontent.com/horalux/horalux/main/docs/window.png")
set(HORALUX_MAINTAINER "Horalux developers <horalux@users.noreply.github.com>")

if(TARGET horalux)
  install(TARGETS horalux RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Desktops match the running window to its desktop entry and icon by this id.
  target_compile_definitions(horalux PRIVATE HORALUX_APP_ID="${HORALUX_APP_ID}")
  if(WIN32)
    target_sources(horalux PRIVATE ${HORALUX_WINDOWS_RESOURCES})
    set_target_properties(horalux PROPERTIES WIN32_EXECUTABLE ON)
    if(MSVC)
      # Our manifest sets the execution level; the linker's default one would contradict it.
      target_link_options(horalux PRIVATE /MANIFESTUAC:NO)
    endif()
  endif()
else()
  message(STATUS "No horalux program target: installing the desktop files without the program")
endif()

if(NOT WIN32)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/${HORALUX_APP_ID}.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/packaging/${HORALUX_APP_ID}.metainfo.xml @ONLY)
  install(FILES packaging/${HORALUX_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES packaging/${HORALUX_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${HORALUX_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

set(CPACK_PACKAGE_NAME horalux)
set(CPACK_PACKAGE_VERSION "${HORALUX_VERSION}")
set(CPACK_PACKAGE_VENDOR Horalux)
set(CPACK_PACKAGE_CONTACT "${HORALUX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sets the computer's clock from a web server's Date header")
set(CPACK_PACKAGE_DESCRIPTION
  "Horalux sends one HTTP request to a web address of the user's choice, converts\n"
  "the Universal Time in the Date header of the response to UTC+8 and sets the\n"
  "local date and time from it. It is meant for networks where NTP is blocked but\n"
  "web traffic gets through. The interface is in Simplified Chinese.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${HORALUX_HOMEPAGE_URL}")
# The libraries the program links (Qt 6 Widgets, libcurl, libsystemd) come from dpkg-shlibdeps, with
# the versions it needs. Named here is what it needs without linking it: the xcb platform plugin to
# open a window at all, a font with Chinese glyphs, and Qt's own Chinese strings for its buttons.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk, qt6-translations-l10n")
# The clock is set through systemd-timedated, which lets other users than root do so through polkit.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "systemd, polkitd")

if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)
