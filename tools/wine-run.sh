#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix of an architecture.
#   wine-run.sh ARCH PROGRAM [ARGS...]     (ARCH: win32, win64 or win32-qemu[-bare])
# The tests set SZSFX_WINE_ARCH and SZSFX_WINE_BARE per test (tools/wine-arch.sh).
arch=$("$(dirname "$0")/wine-arch.sh" "$1")
. "$(dirname "$0")/wine-env.sh" "$arch" || exit 1
shift
exec "$wine" "$@"
