# The 32-bit Windows product, cross-compiled with Debian's i686 MinGW-w64 GCC.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SZSFX_MINGW_TRIPLET i686-w64-mingw32)
set(SZSFX_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
