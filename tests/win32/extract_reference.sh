#!/usr/bin/env bash
# The 7z command's own extraction of every intact archive of the differential corpus,
# into CORPUS/reference/ARCHIVE/: what the self-extractors must write, byte for byte.
#   extract_reference.sh CORPUS
set -euo pipefail
corpus=$(realpath "$1")
rm -rf "$corpus/reference"
count=0
while IFS=$'\t' read -r kind archive password _; do
  case "$kind" in same|unsupported) ;; *) continue ;; esac
  [ "$password" = - ] && password=""
  mkdir -p "$corpus/reference/$archive"  # an archive without items writes no folder
  TZ=UTC 7z x -bd -bso0 -bsp0 -y "-p$password" "-o$corpus/reference/$archive" "$corpus/$archive" > /dev/null
  count=$((count + 1))
done < "$corpus/manifest"
echo "$count reference trees in $corpus/reference"
[ "$count" -gt 0 ]
