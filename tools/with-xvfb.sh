#!/usr/bin/env bash
# Runs a command with a private Xvfb display and fresh wineservers for one of the
# project's prefixes and its sibling (the same architecture with or without 7-Zip), and
# their copies at other DPIs: the tests pick one per test.
#   with-xvfb.sh ARCH COMMAND [ARGS...]    (ARCH: win32, win64 or win32-qemu[-bare])
set -uo pipefail
. "$(dirname "$0")/wine-env.sh" "$1" || exit 1
shift
base=${WINEPREFIX%-dpi*}
prefixes=("${base%-bare}" "${base%-bare}-bare" "${base%-bare}"-dpi* "${base%-bare}"-bare-dpi*)

# A wineserver started without a display makes the next GUI process fail: end it first.
stop_servers() {
  local prefix
  for prefix in "${prefixes[@]}"; do
    [ -d "$prefix" ] || continue
    WINEPREFIX=$prefix wineserver -k 2>/dev/null; WINEPREFIX=$prefix wineserver -w 2>/dev/null
  done
}
stop_servers

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

stop_servers
kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
exit $status
