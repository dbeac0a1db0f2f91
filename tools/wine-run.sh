#!/usr/bin/env bash
# Runs a Win32 program under Wine in the project's own prefix (build/wineprefix).
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$top/build/wineprefix"
export HOME="$top/build/winehome"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
