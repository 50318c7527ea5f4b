# What `cmake --install` puts where.
#
# Linux:   PREFIX/bin/solidsetup
#          PREFIX/share/solidsetup/Setup.exe        the i686 stub `build` uses by default
#          PREFIX/share/solidsetup/Uninstaller.exe  the uninstaller `build` adds by default
#          PREFIX/share/doc/solidsetup/             README, copyright, changelog
#          PREFIX/share/man/man1/solidsetup.1.gz
# Windows: solidsetup.exe, Setup.exe, the README and the licence texts side by
#          side (the zip), where the tool finds the stub beside itself.
#
# The tool looks for its stub at ../share/solidsetup/ from its own folder, so
# an installation can be moved as a whole to any prefix.

if(WIN32)
  set(SOLIDSETUP_INSTALL_BIN .)
  set(SOLIDSETUP_INSTALL_DATA .)
  set(SOLIDSETUP_INSTALL_DOC .)
else()
  set(SOLIDSETUP_INSTALL_BIN bin)
  set(SOLIDSETUP_INSTALL_DATA share/solidsetup)
  set(SOLIDSETUP_INSTALL_DOC share/doc/solidsetup)
endif()

install(TARGETS solidsetup RUNTIME DESTINATION ${SOLIDSETUP_INSTALL_BIN})

# The shipped stub is the i686 Setup.exe, and beside it the uninstaller that
# `build` adds to products without one of their own. A Windows build
# installs the ones it made; a Linux build takes them from the win32 build
# (a Linux compiler cannot make them), by default the win32 preset's build
# folder.
if(WIN32)
  # As plain files: install-time stripping would rewrite the programs, and
  # the installed ones must be the very files the build tree uses.
  foreach(program Setup Uninstaller)
    if(TARGET ${program})
      install(PROGRAMS $<TARGET_FILE:${program}> DESTINATION ${SOLIDSETUP_INSTALL_DATA})
    endif()
  endforeach()
else()
  set(SOLIDSETUP_STUB "${CMAKE_SOURCE_DIR}/build/win32/Setup.exe" CACHE FILEPATH
      "The i686 Setup.exe installed as the default stub (made by the win32 preset)")
  set(SOLIDSETUP_UNINSTALLER "${CMAKE_SOURCE_DIR}/build/win32/Uninstaller.exe" CACHE FILEPATH
      "The i686 Uninstaller.exe installed beside the stub (made by the win32 preset)")
  foreach(program "${SOLIDSETUP_STUB}" "${SOLIDSETUP_UNINSTALLER}")
    solidsetup_install_windows_program("${program}" 4c01 "the win32 preset (scripts/build.sh win32)")
  endforeach()
endif()

# Texts. README.md keeps its name; "copyright" is the project's licence and
# the licence of the MinGW-w64 runtime linked into every Windows program.
set(SOLIDSETUP_MINGW_COPYRIGHT /usr/share/doc/mingw-w64-common/copyright CACHE FILEPATH
    "Licence of the MinGW-w64 runtime that the Windows programs link statically")
install(FILES README.md DESTINATION ${SOLIDSETUP_INSTALL_DOC})
install(FILES packaging/copyright DESTINATION ${SOLIDSETUP_INSTALL_DOC}
        RENAME $<IF:$<BOOL:${WIN32}>,COPYRIGHT.txt,copyright>)
if(EXISTS ${SOLIDSETUP_MINGW_COPYRIGHT})
  install(FILES ${SOLIDSETUP_MINGW_COPYRIGHT} DESTINATION ${SOLIDSETUP_INSTALL_DOC}
          RENAME $<IF:$<BOOL:${WIN32}>,MINGW-W64-RUNTIME.txt,mingw-w64-runtime.copyright>)
else()
  message(WARNING "${SOLIDSETUP_MINGW_COPYRIGHT} not found: installations and packages will lack the "
                  "MinGW-w64 runtime's licence (install mingw-w64-common, or set SOLIDSETUP_MINGW_COPYRIGHT)")
endif()

if(NOT WIN32)
  # The manual page and the changelog, compressed as Debian wants them
  # (gzip -9n: the best compression, no name or time stamp).
  find_program(GZIP_PROGRAM gzip REQUIRED)
  set(compressed)
  foreach(text docs/solidsetup.1 packaging/changelog)
    get_filename_component(name ${text} NAME)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${name}.gz
      COMMAND ${GZIP_PROGRAM} -9n -c ${CMAKE_SOURCE_DIR}/${text} > ${CMAKE_BINARY_DIR}/${name}.gz
      DEPENDS ${CMAKE_SOURCE_DIR}/${text}
      VERBATIM)
    list(APPEND compressed ${CMAKE_BINARY_DIR}/${name}.gz)
  endforeach()
  add_custom_target(compressed_texts ALL DEPENDS ${compressed})
  install(FILES ${CMAKE_BINARY_DIR}/solidsetup.1.gz DESTINATION share/man/man1)
  install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${SOLIDSETUP_INSTALL_DOC})
endif()
