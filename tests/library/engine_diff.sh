#!/usr/bin/env bash
# Extracts every intact archive of the differential corpus through our engine (szrun)
# twice, with 7-Zip's library (the forwarder) and with ours, and compares what the
# engine reported (the items begun with their descriptions, the result) and the trees it
# wrote. Progress steps and how often the password is asked may differ.
#   engine_diff.sh CORPUS SZRUN FORWARDER OUR_LIBRARY
set -uo pipefail
corpus=$(realpath "$1") szrun=$(realpath "$2") forwarder=$(realpath "$3") ours=$(realpath "$4")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lib-7zip" "$work/lib-ours"
cp "$forwarder" "$work/lib-7zip/7z.dll"
cp "$ours" "$work/lib-ours/7z.dll"
failures=0 count=0
while IFS=$'\t' read -r kind archive password _; do
  [ "$kind" = same ] && [ "$archive" != big.7z ] || continue
  [ "$password" = - ] && password=""
  for lib in 7zip ours; do
    (cd "$work" && TZ=UTC "$szrun" "$corpus/$archive" "out-$lib" --dll-dir "$work/lib-$lib/" \
       --password "$password" | grep -v -e '^progress ' -e '^password asked' | sed "s|out-$lib|OUT|g" > "log-$lib")
    mkdir -p "$work/out-$lib"
  done
  count=$((count + 1))
  # Names, permissions and times of the files written (folders get no time), and the bytes.
  for lib in 7zip ours; do (cd "$work/out-$lib" && find . -mindepth 1 \( -type d -printf '%p/\n' \) -o -printf '%p %m %T@\n' | sort) > "$work/list-$lib"; done
  if ! cmp -s "$work/log-7zip" "$work/log-ours" || ! cmp -s "$work/list-7zip" "$work/list-ours" ||
     ! diff -r "$work/out-7zip" "$work/out-ours" >/dev/null; then
    echo "DIFFERENT: $archive"
    diff "$work/log-7zip" "$work/log-ours" | head -n 10
    diff "$work/list-7zip" "$work/list-ours" | head -n 10
    failures=$((failures + 1))
  elif ! grep -q '^result 0x00000000 errors 0$' "$work/log-ours"; then
    echo "FAILED (both): $archive"
    failures=$((failures + 1))
  fi
  chmod -R u+w "$work/out-7zip" "$work/out-ours" 2>/dev/null
  rm -rf "$work/out-7zip" "$work/out-ours"
done < "$corpus/manifest"
echo "$count archives through the engine, $failures different"
[ "$count" -gt 30 ] && [ "$failures" -eq 0 ]
