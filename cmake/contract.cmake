# The contract suite (tests/contract/): one set of cases over the Win32
# calls the program makes, built against the simulated notebook (a ctest
# test that checks every answer) and as a Windows console exe, which
# tests/contract/compare.py runs under Wine and holds against the native
# answers.
set(CRTRATE_CONTRACT_SOURCES
    tests/contract/main.cpp tests/contract/registry.cpp
    tests/contract/strings.cpp tests/contract/menus.cpp
    tests/contract/windows.cpp tests/contract/display.cpp
    tests/contract/shell.cpp)
if(WIN32)
  # A test exe: it may have the C runtime, linked in with the C++ one so
  # that a bare prefix runs it; otherwise the release exe's code flags.
  add_executable(crtrate-contract ${CRTRATE_CONTRACT_SOURCES}
                 tests/contract/world_win.cpp ${CRTRATE_RES})
  target_include_directories(crtrate-contract PRIVATE
                             ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_options(crtrate-contract PRIVATE
    ${CRTRATE_WARNINGS} ${CRTRATE_CPU_FLAGS} -Os)
  target_link_options(crtrate-contract PRIVATE
    -static -static-libgcc -static-libstdc++ ${CRTRATE_PE_FLAGS})
  target_link_libraries(crtrate-contract PRIVATE
    user32 gdi32 advapi32 shell32 kernel32)
else()
  add_executable(crtrate-contract ${CRTRATE_CONTRACT_SOURCES}
                 tests/contract/world_sim.cpp harness/program_image.cpp)
  target_link_libraries(crtrate-contract PRIVATE crtrate_core)
  target_compile_options(crtrate-contract PRIVATE ${CRTRATE_WARNINGS})
  add_test(NAME contract.sim COMMAND crtrate-contract --check)
endif()
