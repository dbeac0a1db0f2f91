#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix of an architecture.
#   wine-run.sh ARCH PROGRAM [ARGS...]     (ARCH: win32, win64 or win32-qemu)
# SZSFX_WINE_ARCH, when set, takes the place of ARCH: the 32-bit tests run under
# emulation with SZSFX_WINE_ARCH=win32-qemu.
arch=${SZSFX_WINE_ARCH:-$1}
. "$(dirname "$0")/wine-env.sh" "$arch" || exit 1
shift
exec "$wine" "$@"
