#!/usr/bin/env bash
# Self-extractors started where no window can be created (Wine without a display). A
# silent run needs none: it extracts and ends with 0, unless the archive asks for a
# password, which only a window could ask: then 1, nothing extracted. A run that is shown
# (here automatic, -a) ends with 1 and extracts nothing. No run leaves its work folder.
# It runs in a private copy of the bare prefix, whose own wineserver starts without a
# display and is stopped afterwards, so the other tests' server never serves a
# display-less client.
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
mkdir -p "$work/src"
printf 'arrives only in a silent run\n' > "$work/src/item.txt"
(cd "$work/src" && 7z a -bd -bso0 -bsp0 ../item.7z item.txt && 7z a -bd -bso0 -bsp0 -pSecret ../secret.7z item.txt) ||
  exit 1
for archive in item secret; do
  "${emulator[@]}" "$mksfx" --stub "$(windows "$stub")" --archive "$(windows "$work/$archive.7z")" \
    -o "$(windows "$work/$archive.exe")" --title "No Display" >/dev/null || { echo "mksfx failed"; exit 1; }
done

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
# run SFX OPTION EXPECTED_CODE EXTRACTED(yes/no)
run() {
  local dest=$work/dest-$1$2 before code leftover
  mkdir -p "$dest"
  before=$(work_folders)
  env -u DISPLAY -u WAYLAND_DISPLAY "$wine" "$(windows "$work/$1.exe")" "$2" -d "$(windows "$dest")" \
    > "$work/run.log" 2>&1
  code=$?
  [ "$code" -eq "$3" ] || fail "$1 $2: exit code $code, expected $3"
  if [ "$4" = yes ]; then
    cmp -s "$work/src/item.txt" "$dest/item.txt" || fail "$1 $2: item.txt was not extracted whole"
  else
    [ -z "$(ls -A "$dest")" ] || fail "$1 $2: files were extracted: $(ls -A "$dest")"
  fi
  leftover=$(comm -13 <(echo "$before") <(work_folders))
  [ -z "$leftover" ] || fail "$1 $2: the work folder stayed: $leftover"
}
run item -s 0 yes
run secret -s 1 no
run item -a 1 no
[ "$failed" -eq 0 ] && echo "no display: silent run extracted (0), silent run with a password and shown run failed (1), no work folder left"
exit "$failed"
