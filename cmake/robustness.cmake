# Robustness builds of the native tree (presets asan, fuzz and coverage in
# CMakePresets.json; make targets in mk/robustness.mk).  The release trees
# get nothing from here.
if(WIN32)
  return()
endif()

# The fuzz preset compiles everything with -fsanitize=fuzzer-no-link; only
# the fuzz target links libFuzzer itself (with its main), so the runner and
# the tests of that tree still link and run as usual.
option(CRTRATE_FUZZ "Build the libFuzzer target tests/fuzz/crtrate_fuzz.cpp" OFF)
if(CRTRATE_FUZZ AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tests/fuzz/crtrate_fuzz.cpp)
  add_executable(crtrate_fuzz tests/fuzz/crtrate_fuzz.cpp)
  target_link_libraries(crtrate_fuzz PRIVATE crtrate_runner)
  target_compile_options(crtrate_fuzz PRIVATE ${CRTRATE_WARNINGS})
  target_link_options(crtrate_fuzz PRIVATE -fsanitize=fuzzer)
endif()
