# solidsetup_install_windows_program(FILE MACHINE WHERE): installs a Windows
# program made by another build into the data folder. At install time it
# checks that the file exists and that its PE header names MACHINE (the two
# bytes as stored, such as 4c01 for i686), so a missing or wrong-architecture
# stub stops the installation with a clear message instead of shipping setup
# programs that cannot run. WHERE says which build makes the file.
function(solidsetup_install_windows_program file machine where)
  install(CODE "
    set(program [[${file}]])
    if(NOT EXISTS \"\${program}\")
      message(FATAL_ERROR \"\${program} is missing: build ${where} first, or name the file with -DSOLIDSETUP_STUB=FILE / -DSOLIDSETUP_UNINSTALLER=FILE\")
    endif()
    file(READ \"\${program}\" pe_offset OFFSET 60 LIMIT 4 HEX)
    string(LENGTH \"\${pe_offset}\" length)
    if(NOT length EQUAL 8)
      message(FATAL_ERROR \"\${program} is not a Windows program (too short)\")
    endif()
    string(REGEX REPLACE \"^(..)(..)(..)(..)$\" \"\\\\4\\\\3\\\\2\\\\1\" pe_offset \"\${pe_offset}\")
    math(EXPR pe_offset \"0x0\${pe_offset}\")
    file(READ \"\${program}\" pe_head OFFSET \${pe_offset} LIMIT 6 HEX)
    if(NOT pe_head STREQUAL \"50450000${machine}\")
      message(FATAL_ERROR \"\${program} is not a Windows program of the expected kind (PE machine bytes ${machine}; its header reads \${pe_head})\")
    endif()
  ")
  install(FILES ${file} DESTINATION ${SOLIDSETUP_INSTALL_DATA})
endfunction()
