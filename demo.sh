#!/usr/bin/env bash
# The main job: build the stub and the payload builder, build a demo self-extractor
# from demo/sample, run it under Wine once silently and once up to its ready window,
# and save a screenshot of that window to build/demo/window.png.
# It runs the 32-bit stub where this kernel executes 32-bit code, the 64-bit one otherwise.
set -euo pipefail
cd "$(dirname "$0")"
./tools/setup.sh
if [ "$(cat build/cache/runs-i386)" = yes ]; then
  arch=win32
  echo "== demo: the 32-bit stub under 32-bit Wine"
else
  arch=win64
  echo "== demo: the 64-bit stub under 64-bit Wine (this kernel does not execute 32-bit code)"
fi
./tools/build.sh native "$arch"
./tools/wineprefix.sh "$arch"

out=build/demo
mkdir -p "$out"
rm -f "$out/demo.7z"
(cd demo/sample && 7z a -bd -bso0 -y "../../$out/demo.7z" .)
# The library slot holds the forwarder, which binds the 7-Zip installed in the prefix.
build/native/mksfx --stub "build/$arch/szsfx.exe" --library "build/$arch/7zfwd.dll" \
  --archive "$out/demo.7z" -o "$out/demo-sfx.exe" \
  --title "Brambleloader demo" --folder '%temp%BrambleDemo' --overwrite 2
echo "== built $out/demo-sfx.exe ($(stat -c %s "$out/demo-sfx.exe") bytes, $arch stub)"
./tools/with-xvfb.sh "$arch" ./tools/demo-run.sh "$arch" "$out/demo-sfx.exe" "$out/window.png"
