#!/usr/bin/env bash
# Checks that includes between the folders of src/ point one way:
#   app -> ui, payload, engine, interface, format, platform;
#   ui -> engine, payload, interface, format, platform;  engine -> interface, format, platform;
#   payload -> format, platform;  platform -> (nothing of ours);
#   interface (the archive library's binary interface, shared by the engine and our
#   library) -> (nothing of ours);  format (the fixed facts of the files both the stub and
#   our library read: the 7z start, little-endian values) -> (nothing of ours);
#   library -> interface, format, and the decoder sources' own headers, which it names
#   without a folder.
# Prints every include that reaches up or sideways and exits 1 if there is one.
set -uo pipefail
src=${1:-$(cd "$(dirname "$0")/.." && pwd)/src}
declare -A allowed=(
  [app]="app ui run payload engine interface format platform"
  [ui]="ui run engine payload interface format platform"
  [run]="run payload format platform"
  [engine]="engine interface format platform"
  [payload]="payload format platform"
  [platform]="platform"
  [interface]="interface"
  [format]="format"
  [library]="library interface format"
)
status=0
for layer in "${!allowed[@]}"; do
  [ -d "$src/$layer" ] || { echo "missing folder: src/$layer"; status=1; continue; }
  while IFS=: read -r file line include; do
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$include")
    if [[ "$include" != *'#include "'*'/'* ]]; then
      # Only our library names headers without a folder: the decoders' own, never one of ours.
      name=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$include")
      if [[ "$layer" = library || "$layer" = payload ]] && [ -z "$(find "$src" -name "$name" -print -quit)" ]; then continue; fi
      echo "$file:$line: include without a folder: $include"
      status=1
      continue
    fi
    if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
      echo "$file:$line: $layer must not include $target: $include"
      status=1
    fi
  done < <(grep -Hn '^#include "' "$src/$layer"/* 2>/dev/null)
done
exit $status
