# Cross-compiling for 32-bit Windows with Debian's MinGW-w64 (package
# g++-mingw-w64-i686).  The release build targets Windows 95 OSR2, 98 and
# NT 4.0 on Pentium-class notebooks.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CRTRATE_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
