# Test rigs of the Windows builds, for the end-to-end runs under Wine
# (harness/wine/, tests/e2e/).  Nothing below reaches crtrate.exe.
#
#   crtrate-simhw.exe  the product with its display-control channel
#                      (driver/channel.cpp) replaced by harness/rig/, which
#                      answers from the simulated display driver of the
#                      scenario named by CRTRATE_SIM and logs each request
#                      and each menu as it opens to CRTRATE_SIM_LOG
#   crtrate-e2e.exe    the harness's console helper inside the Wine prefix
#                      (in both trees: the i686 one asks 32-bit Wine's
#                      display driver)
#   crtrate-e2e-desk.cpl  a stand-in Display applet that records how it was
#                      started (this Wine has no desk.cpl)
#
# The i686 tree builds crtrate-simhw.exe with the release exe's code
# generation (Pentium, 4-byte stack, -Os, no exceptions, LTO): only its
# start-up code and the C++ library the simulated driver needs differ.  Of
# the rest it builds the helper alone, for its display-settings question;
# everything else the harness asks of the 64-bit helper, as under qemu each
# start of an i686 program takes long.
#
# All use the ordinary MinGW start-up code and link the C++ runtime
# statically, so the prefix needs no MinGW DLLs.
set(CRTRATE_RIG_LINK_FLAGS -static -static-libgcc -static-libstdc++)

set(CRTRATE_RIG_PRODUCT_SOURCES ${CRTRATE_PRODUCT_SOURCES})
list(REMOVE_ITEM CRTRATE_RIG_PRODUCT_SOURCES driver/channel.cpp)

add_executable(crtrate-simhw WIN32
  ${CRTRATE_RIG_PRODUCT_SOURCES}
  sim/driver_model.cpp
  sim/scenario.cpp
  harness/rig/rig_channel.cpp
  ${CRTRATE_RES})
target_include_directories(crtrate-simhw PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(crtrate-simhw PRIVATE
  user32 gdi32 advapi32 shell32 kernel32)

add_executable(crtrate-e2e harness/helper/crtrate_e2e.cpp sim/scenario.cpp)
target_include_directories(crtrate-e2e PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(crtrate-e2e PRIVATE ${CRTRATE_WARNINGS} -O2)
target_link_options(crtrate-e2e PRIVATE ${CRTRATE_RIG_LINK_FLAGS})
target_link_libraries(crtrate-e2e PRIVATE user32 gdi32 advapi32 shell32 kernel32)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  target_compile_options(crtrate-simhw PRIVATE
    ${CRTRATE_WARNINGS} ${CRTRATE_CODE_FLAGS} ${CRTRATE_LTO_FLAGS})
  target_link_options(crtrate-simhw PRIVATE ${CRTRATE_RIG_LINK_FLAGS}
    ${CRTRATE_CODE_FLAGS} ${CRTRATE_LTO_FLAGS} -s)
  return()
endif()

target_compile_options(crtrate-simhw PRIVATE ${CRTRATE_WARNINGS} -O2)
target_link_options(crtrate-simhw PRIVATE ${CRTRATE_RIG_LINK_FLAGS})

# The Display applet's stand-in for the right double-click check.
add_library(crtrate-e2e-desk SHARED harness/helper/desk_cpl.cpp)
set_target_properties(crtrate-e2e-desk PROPERTIES PREFIX "" SUFFIX ".cpl")
target_include_directories(crtrate-e2e-desk PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(crtrate-e2e-desk PRIVATE ${CRTRATE_WARNINGS} -O2)
target_link_options(crtrate-e2e-desk PRIVATE ${CRTRATE_RIG_LINK_FLAGS})
target_link_libraries(crtrate-e2e-desk PRIVATE kernel32)
