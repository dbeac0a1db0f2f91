#!/usr/bin/env bash
# The main job: build the stub and the payload builder, build a demo self-extractor
# from demo/sample, run it under Wine once silently and once up to its ready window,
# and save a screenshot of that window to build/demo/window.png.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
./tools/build.sh native win32
./tools/wineprefix.sh

out=build/demo
mkdir -p "$out"
rm -f "$out/demo.7z"
(cd demo/sample && 7z a -bd -bso0 -y "../../$out/demo.7z" .)
# The library slot holds the forwarder, which binds the 7-Zip installed in the prefix.
build/native/mksfx --stub build/win32/szsfx.exe --library build/win32/7zfwd.dll \
  --archive "$out/demo.7z" -o "$out/demo-sfx.exe" \
  --title "Brambleloader demo" --folder '%temp%BrambleDemo' --overwrite 2
echo "== built $out/demo-sfx.exe ($(stat -c %s "$out/demo-sfx.exe") bytes)"
./tools/with-xvfb.sh ./tools/demo-run.sh "$out/demo-sfx.exe" "$out/window.png"
