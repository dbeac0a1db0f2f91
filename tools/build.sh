#!/usr/bin/env bash
# Configures and builds the given presets (default: all four).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native native-asan win32 win64)
for preset in "${presets[@]}"; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
