#!/usr/bin/env bash
# A destination that fills up, through the real stub under Wine. The stub runs with a
# file-size limit of 1 MiB (a shell limit, no privileges needed), so its 3 MiB item cannot
# be written. The run must end with message 41 and exit code 1, leave neither a partial
# file under the item's name nor a temporary one, keep the file the item was to replace
# byte for byte, and remove its work folder. The message box is answered by the test
# driver's OutsideRun case. (A write failure ends the library's extraction, so the
# items after it are not written either.)
#   full_disk_wine.sh WORK_FOLDER STUB MKSFX_EXE TEST_DRIVER EMULATOR...
set -uo pipefail
work=$1 stub=$2 mksfx=$3 driver=$4
shift 4
emulator=("$@")
here=$(cd "$(dirname "$0")" && pwd)
windows() { printf 'Z:%s' "${1//\//\\}"; }
fail() { echo "FAIL: $*"; failed=1; }
failed=0

rm -rf "$work"
mkdir -p "$work/src" "$work/dest"
head -c 3145728 /dev/zero > "$work/src/big.bin"
printf 'small\n' > "$work/src/small.txt"
(cd "$work/src" && 7z a -bd -bso0 -bsp0 -mx=1 ../fill.7z big.bin small.txt) || exit 1
"${emulator[@]}" "$mksfx" --stub "$(windows "$stub")" --archive "$(windows "$work/fill.7z")" \
  -o "$(windows "$work/sfx.exe")" --title "Fill Test" --overwrite 0 >/dev/null || { echo "mksfx failed"; exit 1; }

# The prefix's temp folders, for the work folder check.
arch=$("$here/../../tools/wine-arch.sh" "${emulator[1]:-win64}")  # the prefix wine-run.sh picks
. "$here/../../tools/wine-env.sh" "$arch" || exit 1
work_folders() { ls -d "$WINEPREFIX"/drive_c/users/*/Temp/_BLSFX* 2>/dev/null | sort; }
before=$(work_folders)

run_limited() {
  # The driver starts first, so the wineserver does not inherit the limit.
  SZSFX_OUTSIDE_CAPTION="Fill Test" "${emulator[@]}" "$driver" --gtest_filter=OutsideRun.* > "$work/answer.log" 2>&1 &
  local answer=$!
  sleep 3
  (trap '' XFSZ; ulimit -f 1024; exec "${emulator[@]}" "$(windows "$work/sfx.exe")" -a -d "$(windows "$work/dest")")
  code=$?
  wait "$answer" || fail "the driver did not see the box: $(tail -5 "$work/answer.log")"
  grep -q "box text: The selected file(s) couldn't get extracted." "$work/answer.log" ||
    fail "message 41 expected: $(grep 'box text' "$work/answer.log")"
  [ "$code" = 1 ] || fail "exit code $code, expected 1"
  [ -z "$(ls "$work/dest" | grep '^~szsfx')" ] || fail "temporary files left: $(ls "$work/dest")"
  [ "$(work_folders)" = "$before" ] || fail "work folder left: $(work_folders)"
}

echo "== no file before"
run_limited
[ ! -e "$work/dest/big.bin" ] || fail "big.bin left behind with $(stat -c %s "$work/dest/big.bin") bytes"

echo "== an old file to overwrite"
rm -rf "$work/dest" && mkdir -p "$work/dest"
printf 'the old big.bin\n' > "$work/dest/big.bin"
run_limited
[ "$(cat "$work/dest/big.bin")" = "the old big.bin" ] || fail "the old big.bin was not kept"

[ "$failed" = 0 ] && echo "full disk: passed"
exit "$failed"
