#!/usr/bin/env bash
# Checks that includes between the folders of src/ point one way:
#   app -> ui, payload, engine, platform;  ui -> engine, payload, platform;
#   engine -> platform;  payload -> platform;  platform -> (nothing of ours).
# Prints every include that reaches up or sideways and exits 1 if there is one.
set -uo pipefail
src=${1:-$(cd "$(dirname "$0")/.." && pwd)/src}
declare -A allowed=(
  [app]="app ui payload engine platform"
  [ui]="ui engine payload platform"
  [engine]="engine platform"
  [payload]="payload platform"
  [platform]="platform"
)
status=0
for layer in "${!allowed[@]}"; do
  [ -d "$src/$layer" ] || { echo "missing folder: src/$layer"; status=1; continue; }
  while IFS=: read -r file line include; do
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$include")
    [[ "$include" == *'#include "'*'/'* ]] || { echo "$file:$line: include without a folder: $include"; status=1; continue; }
    if [[ " ${allowed[$layer]} " != *" $target "* ]]; then
      echo "$file:$line: $layer must not include $target: $include"
      status=1
    fi
  done < <(grep -Hn '^#include "' "$src/$layer"/* 2>/dev/null)
done
exit $status
