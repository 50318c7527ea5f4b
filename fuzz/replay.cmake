# The committed fuzzing corpus replayed once through each target by a plain
# program (fuzz/replay_main.cpp) instead of libFuzzer, in builds libFuzzer
# does not serve: gcc, and 32-bit code under emulation. POSIX only (the
# targets use a scratch folder under /tmp).
file(GLOB fuzzers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzzer.cpp)
foreach(file IN LISTS fuzzers)
  get_filename_component(target ${file} NAME_WE)
  string(REGEX REPLACE "_fuzzer$" "" name ${target})
  add_executable(replay_${name} ${file} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
  target_link_libraries(replay_${name} PRIVATE solidsetup_core)
  add_test(NAME fuzz_replay.${name} COMMAND replay_${name} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
  set_tests_properties(fuzz_replay.${name} PROPERTIES TIMEOUT 600)
endforeach()
