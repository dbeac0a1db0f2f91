# The part of the MinGW-w64 toolchain files that both architectures share: Debian's
# compilers named by SZSFX_MINGW_TRIPLET, with the posix thread model, which gives the
# tests std::mutex and std::thread (the stub uses no threads from it and imports only
# system DLLs). Test programs run under Wine in the project's prefix of SZSFX_WINE_ARCH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${SZSFX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SZSFX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SZSFX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SZSFX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh;${SZSFX_WINE_ARCH})
