# The version every artefact carries (the .deb, the AppStream metainfo, the Windows version record)
# comes from project() alone. It is shown as written, "1.00". The numeric parts feed only the
# Windows FILEVERSION, which takes integers; CMake splits "1.00" into "1" and "00".
set(HORALUX_VERSION "${PROJECT_VERSION}")
foreach(part MAJOR MINOR PATCH)
  set(value "${PROJECT_VERSION_${part}}")
  if(value STREQUAL "")
    set(value 0)
  endif()
  string(REGEX REPLACE "^0+([0-9])" "\\1" value "${value}")
  set(HORALUX_VERSION_${part} "${value}")
endforeach()

# The day this version was released, as YYYY-MM-DD. The metainfo, the manual pages and the
# changelog show it, so that what the package carries never depends on the day it was built.
set(HORALUX_RELEASE_DATE 2026-12-08)
