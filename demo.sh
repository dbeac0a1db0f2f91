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
# A prefix with no 7-Zip installed, as on a clean Windows: the self-extractor carries
# our own library in its library slot.
./tools/wineprefix.sh "$arch-bare"

out=build/demo
mkdir -p "$out"
rm -f "$out/demo.7z"
(cd demo/sample && 7z a -bd -bso0 -y "../../$out/demo.7z" .)
# Without --library the slot takes our own library, 7zextract.dll beside the stub.
build/native/mksfx --stub "build/$arch/szsfx.exe" \
  --archive "$out/demo.7z" -o "$out/demo-sfx.exe" \
  --title "Brambleloader demo" --folder '%temp%BrambleDemo' --overwrite 2
echo "== built $out/demo-sfx.exe ($(stat -c %s "$out/demo-sfx.exe") bytes, $arch stub)"
./tools/with-xvfb.sh "$arch-bare" ./tools/demo-run.sh "$arch-bare" "$out/demo-sfx.exe" "$out/window.png"
