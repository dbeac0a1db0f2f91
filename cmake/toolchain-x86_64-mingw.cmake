# The same program for 64-bit Windows, cross-compiled with Debian's x86_64 MinGW-w64 GCC.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SZSFX_MINGW_TRIPLET x86_64-w64-mingw32)
set(SZSFX_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
