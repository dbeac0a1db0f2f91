#!/usr/bin/env bash
# Runs a command with a private Xvfb display and a fresh wineserver for one of the
# project's prefixes.
#   with-xvfb.sh ARCH COMMAND [ARGS...]    (ARCH: win32, win64 or win32-qemu)
set -uo pipefail
. "$(dirname "$0")/wine-env.sh" "$1" || exit 1
shift

# A wineserver started without a display makes the next GUI process fail: end it first.
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null

display=
for n in $(seq 90 130); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "with-xvfb: no free display" >&2; exit 1; }
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"

"$@"
status=$?

wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
exit $status
