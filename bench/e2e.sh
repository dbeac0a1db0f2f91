#!/usr/bin/env bash
# End-to-end benchmark on one archive of about 200 MB (LZMA2; made from fixed seeds, so
# every run and every machine extracts the same bytes):
#   - the stub with our library in its slot (mksfx's default), automatic extraction
#     (-s -d) in the prefix without 7-Zip, against 7-Zip's own 7z.exe (x64; 7z.dll beside
#     it) extracting the same archive in the same prefix;
#   - the stub with the forwarder in the prefix with 7-Zip installed, against the engine
#     harness (szrun) on the same library;
#   - natively, szrun (p7zip's 7z.so) against the 7z command.
# Median of 5 runs each (RUNS=...); every output is compared with the source bytes. Prints
# the ratios and the stub's peak memory. Not a test: it asserts nothing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
./tools/setup.sh >/dev/null
# The 32-bit stub where this kernel runs 32-bit code, the 64-bit one otherwise (or ARCH=...).
arch=${ARCH:-$([ "$(cat build/cache/runs-i386)" = yes ] && echo win32 || echo win64)}
./tools/build.sh native "$arch" >/dev/null
./tools/wineprefix.sh "$arch"
./tools/wineprefix.sh "$arch-bare"
echo "== $arch stub"
runs=${RUNS:-5}
work=$top/build/bench
data=$work/e2e-data
archive=$work/e2e.7z
mkdir -p "$work"

if [ ! -s "$archive" ]; then
  echo "== making the archive (100 MB random + 100 MB text, fixed seeds, LZMA2)"
  rm -rf "$data" && mkdir -p "$data/text"
  python3 - "$data" <<'PY'
import random, sys
out = sys.argv[1]
with open(out + "/random.bin", "wb") as f:
    r = random.Random(20240601)
    for _ in range(100):
        f.write(r.randbytes(1000000))
words = [b"alpha", b"bravo", b"charlie", b"delta", b"echo", b"foxtrot", b"golf", b"hotel", b"india", b"juliett"]
for part in range(1, 5):
    r = random.Random(part)
    with open("%s/text/part%d.txt" % (out, part), "wb") as f:
        size = n = 0
        while size < 25000000:
            line = b"record %08d of part %d: %s\n" % (n, part, b" ".join(r.choice(words) for _ in range(12)))
            f.write(line)
            size += len(line)
            n += 1
PY
  (cd "$data" && 7z a -bd -bso0 -m0=LZMA2 -mx=1 "$archive" .)
fi
mkdir -p "$work/lib" && cp build/native/7zfwd.so "$work/lib/7z.dll"
build/native/mksfx --stub "build/$arch/szsfx.exe" --library "build/$arch/7zfwd.dll" --archive "$archive" \
  -o "$work/forwarder-sfx.exe" --overwrite 0
build/native/mksfx --stub "build/$arch/szsfx.exe" --archive "$archive" -o "$work/ours-sfx.exe" --overwrite 0
# 7-Zip's own program, run from a folder of its own (no installation).
seven_exe=
if [ "$arch" = win64 ]; then
  mkdir -p "$work/7zip-x64"
  cp build/cache/7z-x64.exe "$work/7zip-x64/7z.exe" && cp build/cache/7z-x64.dll "$work/7zip-x64/7z.dll"
  seven_exe=$work/7zip-x64/7z.exe
fi
echo "== archive: $(stat -c %s "$archive") bytes; self-extractor: $(stat -c %s "$work/ours-sfx.exe") bytes"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# Times a command `runs` times after clearing OUT; prints the median in seconds.
timed() {
  local out=$1; shift
  for _ in $(seq "$runs"); do
    rm -rf "$out"
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
  done | median
}
# Compares an extracted tree with the source; warns (on standard error) when they differ.
check() { diff -r "$1" "$data" >/dev/null 2>&1 || echo "warning: the output of $2 differs from the source" >&2; }
# The peak resident memory of a command and its children (GNU time's maximum RSS), KiB.
peak_of() {
  /usr/bin/time -o "$work/peak" -f '%M' "$@" >/dev/null 2>&1
  tail -n 1 "$work/peak"
}

# In the prefix with 7-Zip: the stub with the forwarder against szrun on the same library.
measure_forwarder() {
  wineserver -p 60  # one server for all runs: start-up cost stays out of the numbers
  local out_unix="$WINEPREFIX/drive_c/bench-out" stub harness
  stub=$(timed "$out_unix" "$wine" "$work/forwarder-sfx.exe" -s -d 'C:\bench-out')
  check "$out_unix" "the stub (forwarder)"
  harness=$(timed "$out_unix" "$wine" "build/$arch/szrun.exe" "Z:$archive" 'C:\bench-out' --quiet \
    --dll-dir 'C:\Program Files\7-Zip\')
  check "$out_unix" szrun
  rm -rf "$out_unix"
  echo "$stub $harness"
}
# In the prefix without 7-Zip: the stub with our library against 7z.exe.
measure_ours() {
  wineserver -p 60
  local out_unix="$WINEPREFIX/drive_c/bench-out" stub seven=- peak seven_peak=-
  stub=$(timed "$out_unix" "$wine" "$work/ours-sfx.exe" -s -d 'C:\bench-out')
  check "$out_unix" "the stub (our library)"
  peak=$(peak_of "$wine" "$work/ours-sfx.exe" -s -d 'C:\bench-out')
  check "$out_unix" "the stub (our library)"
  if [ -n "$seven_exe" ]; then
    seven=$(timed "$out_unix" "$wine" "$seven_exe" x -bd -y -o'C:\bench-out' "Z:$archive")
    check "$out_unix" 7z.exe
    rm -rf "$out_unix"
    seven_peak=$(peak_of "$wine" "$seven_exe" x -bd -y -o'C:\bench-out' "Z:$archive")
  fi
  rm -rf "$out_unix"
  echo "$stub $seven $peak $seven_peak"
}
functions="$(declare -f median timed check peak_of measure_forwarder measure_ours)
top='$top' work='$work' data='$data' archive='$archive' runs=$runs arch='$arch' seven_exe='$seven_exe'"
read -r ours seven peak seven_peak < <(./tools/with-xvfb.sh "$arch-bare" bash -c "$functions; wine='$(
  . tools/wine-env.sh "$arch-bare" && echo "$wine")'; measure_ours")
read -r forwarder harness < <(./tools/with-xvfb.sh "$arch" bash -c "$functions; wine='$(
  . tools/wine-env.sh "$arch" && echo "$wine")'; measure_forwarder")

native_szrun=$(timed "$work/out" build/native/szrun "$archive" "$work/out" --quiet --dll-dir "$work/lib/")
check "$work/out" "szrun natively"
native_7z=$(timed "$work/out" 7z x -bd -y -o"$work/out" "$archive")
check "$work/out" "the 7z command"
rm -rf "$work/out"

ratio() { if [ "$2" = - ]; then echo -; else echo "$1 / $2" | bc -l | cut -c1-5; fi; }
printf '\n%-52s %8s s\n' "stub, our library, under Wine (-s -d), median of $runs" "$ours"
if [ -n "$seven_exe" ]; then
  printf '%-52s %8s s\n' "7z.exe x under Wine (7-Zip's own, x64)" "$seven"
else
  printf '%-52s %8s\n' "7z.exe x under Wine" "- (no 32-bit 7z.exe in build/cache)"
fi
printf '%-52s %8s   (goal: at most 1.15)\n' "ratio stub (our library) / 7z.exe" "$(ratio "$ours" "$seven")"
printf '%-52s %8s KiB\n' "stub peak resident memory (our library, GNU time)" "$peak"
printf '%-52s %8s KiB\n' "7z.exe peak resident memory (GNU time)" "$seven_peak"
printf '%-52s %8s s\n' "stub, forwarder to 7-Zip's 7z.dll, under Wine" "$forwarder"
printf '%-52s %8s s\n' "szrun under Wine (same library)" "$harness"
printf '%-52s %8s\n' "ratio stub / szrun" "$(ratio "$forwarder" "$harness")"
printf '%-52s %8s s\n' "szrun natively (7z.so)" "$native_szrun"
printf '%-52s %8s s\n' "7z x natively" "$native_7z"
printf '%-52s %8s\n' "ratio szrun / 7z x" "$(ratio "$native_szrun" "$native_7z")"
