# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (package
# g++-mingw-w64-x86-64).  The same program as the i686 build, for x86_64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CRTRATE_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
