#!/usr/bin/env bash
# Prints the Wine set-up a program runs in: SZSFX_WINE_ARCH, when set, takes the place of
# ARCH (the 32-bit tests run under emulation with SZSFX_WINE_ARCH=win32-qemu);
# SZSFX_WINE_BARE then picks the prefix of that architecture: 1 the one without 7-Zip (a
# clean Windows), 0 the one with 7-Zip installed; unset, ARCH alone decides.
#   wine-arch.sh ARCH
arch=${SZSFX_WINE_ARCH:-$1}
case "${SZSFX_WINE_BARE:-}" in
  1) arch=${arch%-bare}-bare ;;
  0) arch=${arch%-bare} ;;
esac
echo "$arch"
