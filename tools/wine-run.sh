#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix of an architecture.
#   wine-run.sh ARCH PROGRAM [ARGS...]     (ARCH: win32, win64 or win32-qemu)
. "$(dirname "$0")/wine-env.sh" "$1" || exit 1
shift
exec "$wine" "$@"
