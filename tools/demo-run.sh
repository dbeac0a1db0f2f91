#!/usr/bin/env bash
# Runs the demo self-extractor inside an X display: silently into C:\BrambleDemo,
# then interactively up to its ready window for a screenshot.
#   demo-run.sh ARCH SFX SCREENSHOT     (ARCH: win32 or win64)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
arch=$1 sfx=$2 shot=$3
. "$top/tools/wine-env.sh" "$arch"
drive_c="$WINEPREFIX/drive_c"

rm -rf "$drive_c/BrambleDemo"
echo "== silent run: demo-sfx.exe -s -d C:\\BrambleDemo"
"$top/tools/wine-run.sh" "$arch" "$sfx" -s -d 'C:\BrambleDemo'
echo "   exit code $?; extracted tree:"
(cd "$drive_c/BrambleDemo" && find . -type f | sort | sed 's/^/   /')

echo "== interactive run, up to the ready window"
"$top/tools/wine-run.sh" "$arch" "$sfx" &
window=
for _ in $(seq 150); do
  window=$(xdotool search --onlyvisible --name '^Brambleloader demo$' 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.2
done
if [ -z "$window" ]; then echo "the window did not appear" >&2; exit 1; fi
sleep 1
import -window "$window" "$shot"
echo "   screenshot: $shot"
xdotool key --window "$window" alt+F4 2>/dev/null
wait
left=$(find "$drive_c/users" -maxdepth 3 -name '_BLSFX*' | wc -l)
echo "== work folders left in the temp path: $left"
