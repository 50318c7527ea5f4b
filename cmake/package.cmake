# Packages made with CPack from an installed tree (cmake/install.cmake):
# a Debian package on Linux (cpack -G DEB), a zip on Windows (cpack -G ZIP).
set(SOLIDSETUP_PACKAGE_CONTACT "solidsetup developers <solidsetup@tallgrove.example>" CACHE STRING
    "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME solidsetup)
set(CPACK_PACKAGE_VENDOR "solidsetup developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${SOLIDSETUP_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "builder of self-extracting Windows setup programs")
set(CPACK_PACKAGE_DESCRIPTION
    "Packs a Windows product folder into a solid RAR 2.0 archive and appends it to\n"
    "a small 32-bit Windows setup program, which shows one dialog, installs the\n"
    "chosen files, records the installation in the registry and creates\n"
    "shortcuts. The tool also lists, tests and extracts such archives.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(CPACK_SYSTEM_NAME win32)
  else()
    set(CPACK_SYSTEM_NAME win64)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The Depends line from the libraries the tool really links (libc, libstdc++, libgcc).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
