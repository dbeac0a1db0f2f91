#!/usr/bin/env bash
# A self-extractor started where its windows cannot be created (Wine without a display):
# `-s` must end with exit code 1, extract nothing and leave no work folder. It runs in a
# private copy of the bare prefix, whose own wineserver starts without a display and is
# stopped afterwards, so the other tests' server never serves a display-less client.
#   no_display_wine.sh WORK_FOLDER STUB MKSFX_EXE EMULATOR...
set -uo pipefail
work=$1 stub=$2 mksfx=$3
shift 3
emulator=("$@")
here=$(cd "$(dirname "$0")" && pwd)
windows() { printf 'Z:%s' "${1//\//\\}"; }
failed=0
fail() { echo "FAIL: $*"; failed=1; }

rm -rf "$work"
mkdir -p "$work/src" "$work/dest"
printf 'must not arrive\n' > "$work/src/item.txt"
(cd "$work/src" && 7z a -bd -bso0 -bsp0 ../item.7z item.txt) || exit 1
"${emulator[@]}" "$mksfx" --stub "$(windows "$stub")" --archive "$(windows "$work/item.7z")" \
  -o "$(windows "$work/sfx.exe")" --title "No Display" >/dev/null || { echo "mksfx failed"; exit 1; }

arch=$("$here/../../tools/wine-arch.sh" "${emulator[1]:-win64}")
. "$here/../../tools/wine-env.sh" "$arch" || exit 1
# Hard links for the prefix's files, real copies of the registry files Wine rewrites.
private="$work/prefix"
cp -al "$WINEPREFIX" "$private" || exit 1
for reg in "$private"/*.reg; do cp --remove-destination "$WINEPREFIX/$(basename "$reg")" "$reg"; done
export WINEPREFIX=$private
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$private"' EXIT

# Work folders an earlier, killed run left in the prefix are not this run's.
work_folders() { ls -d "$private"/drive_c/users/*/Temp/_BLSFX* 2>/dev/null; }
before=$(work_folders)
env -u DISPLAY -u WAYLAND_DISPLAY "$wine" "$(windows "$work/sfx.exe")" -s -d "$(windows "$work/dest")" \
  > "$work/run.log" 2>&1
code=$?
[ "$code" -eq 1 ] || fail "exit code $code, expected 1 (the run cannot have succeeded)"
[ -z "$(ls -A "$work/dest")" ] || fail "files were extracted: $(ls -A "$work/dest")"
leftover=$(comm -13 <(echo "$before") <(work_folders))
[ -z "$leftover" ] || fail "the work folder stayed: $leftover"
[ "$failed" -eq 0 ] && echo "no display: exit code 1, nothing extracted, no work folder left"
exit "$failed"
