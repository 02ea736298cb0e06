# Installation, desktop integration and the Debian package. The program target comes from ui/.

include(GNUInstallDirs)

set(HORALUX_APP_ID org.horalux.horalux)
# One place for what the published metadata says about the project. The license paragraph of
# packaging/copyright.in states the terms of this license and must change with it.
set(HORALUX_LICENSE "LicenseRef-proprietary")
set(HORALUX_HOMEPAGE_URL "https://github.com/horalux/horalux")
set(HORALUX_SCREENSHOT_URL "https://raw.githubusercontent.com/horalux/horalux/main/docs/window.png")
set(HORALUX_MAINTAINER "Horalux developers <horalux@users.noreply.github.com>")

# A Debian changelog dates its entries in the form of RFC 2822, weekday included, which CMake
# cannot format for a day other than today.
function(horalux_rfc2822_date iso out)
  if(NOT iso MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "Not a date in the form YYYY-MM-DD: '${iso}'")
  endif()
  set(year ${CMAKE_MATCH_1})
  set(day ${CMAKE_MATCH_3})
  math(EXPR month_index "${CMAKE_MATCH_2} - 1")
  string(REGEX REPLACE "^0" "" day_number "${day}")
  # Sakamoto's method, which counts January and February as months of the year before.
  set(month_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  list(GET month_offsets ${month_index} offset)
  set(y ${year})
  if(month_index LESS 2)
    math(EXPR y "${y} - 1")
  endif()
  math(EXPR weekday "(${y} + ${y} / 4 - ${y} / 100 + ${y} / 400 + ${offset} + ${day_number}) % 7")
  set(weekdays Sun Mon Tue Wed Thu Fri Sat)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET weekdays ${weekday} weekday_name)
  list(GET months ${month_index} month_name)
  # Noon in Beijing, the time the program sets clocks to.
  set(${out} "${weekday_name}, ${day} ${month_name} ${year} 12:00:00 +0800" PARENT_SCOPE)
endfunction()

if(TARGET horalux)
  install(TARGETS horalux RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Desktops match the running window to its desktop entry and icon by this id.
  target_compile_definitions(horalux PRIVATE HORALUX_APP_ID="${HORALUX_APP_ID}")
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

  # The copyright file, the changelog and the manual pages carry the version and the release date
  # from the sources alone, and gzip -n leaves out the name and time stamp: building the same
  # sources again gives the same files.
  horalux_rfc2822_date("${HORALUX_RELEASE_DATE}" HORALUX_RELEASE_DATE_RFC2822)
  set(docs ${PROJECT_BINARY_DIR}/packaging)
  configure_file(packaging/copyright.in ${docs}/copyright @ONLY)
  configure_file(packaging/changelog.in ${docs}/changelog @ONLY)
  configure_file(packaging/man/horalux.1.in ${docs}/man/horalux.1 @ONLY)
  configure_file(packaging/man/horalux.zh_CN.1.in ${docs}/man/zh_CN/horalux.1 @ONLY)
  find_program(HORALUX_GZIP gzip REQUIRED)
  set(gzipped)
  foreach(file changelog man/horalux.1 man/zh_CN/horalux.1)
    add_custom_command(OUTPUT ${docs}/${file}.gz
                       COMMAND ${HORALUX_GZIP} -9nkf ${docs}/${file}
                       DEPENDS ${docs}/${file}
                       VERBATIM)
    list(APPEND gzipped ${docs}/${file}.gz)
  endforeach()
  add_custom_target(horalux_docs ALL DEPENDS ${gzipped})

  # Debian looks for a package's documents under its name, which is lower-case unlike the project's.
  install(FILES ${docs}/copyright ${docs}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/horalux)
  install(FILES ${docs}/man/horalux.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${docs}/man/zh_CN/horalux.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/zh_CN/man1)

  # The scheduled correction: a timer and its oneshot service, which read the sites from a
  # conffile whose one setting is commented out. They are written for the package, whose program
  # is /usr/bin/horalux, and land where Debian 12's systemd looks for a package's units; nothing
  # enables them but `horalux --schedule`.
  set(HORALUX_INSTALLED_PROGRAM /usr/${CMAKE_INSTALL_BINDIR}/horalux)
  set(HORALUX_SYSTEMD_UNIT_DIR /lib/systemd/system)
  set(HORALUX_DEFAULTS_FILE /etc/default/horalux)
  configure_file(packaging/systemd/horalux-sync.service.in ${docs}/horalux-sync.service @ONLY)
  install(FILES ${docs}/horalux-sync.service packaging/systemd/horalux-sync.timer
          DESTINATION ${HORALUX_SYSTEMD_UNIT_DIR})
  install(FILES packaging/systemd/horalux.default DESTINATION /etc/default RENAME horalux)
  file(WRITE ${docs}/conffiles "${HORALUX_DEFAULTS_FILE}\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${docs}/conffiles)
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
# The libraries the program links (Qt 6 Widgets, libcurl, OpenSSL, libsystemd) come from dpkg-shlibdeps, with
# the versions it needs. Named here is what it needs without linking it: the xcb platform plugin to
# open a window at all, a font with Chinese glyphs, and Qt's own Chinese strings for its buttons.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk, qt6-translations-l10n")
# The clock is set through systemd-timedated, which lets other users than root do so through polkit.
# The desktop's proxy comes through GLib's resolver, whose modules glib-networking brings (GNOME's
# settings, libproxy for other desktops, the PAC service); libproxy reads KDE's settings and runs
# PAC scripts with plugins of its own.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "systemd, polkitd, glib-networking, libproxy1-plugin-kconfig, libproxy1-plugin-webkit")

if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)
