#!/usr/bin/env bash
# End-to-end benchmark: automatic extraction (-s -d) of one archive holding 200 MB by
# the stub under Wine, against the engine harness (szrun) under Wine on the same
# archive; natively szrun against the 7z command. Median of 5 runs each; prints the
# ratios and the stub's peak memory. Not a test: it asserts nothing.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
./tools/setup.sh >/dev/null
# The 32-bit stub where this kernel runs 32-bit code, the 64-bit one otherwise (or ARCH=...).
arch=${ARCH:-$([ "$(cat build/cache/runs-i386)" = yes ] && echo win32 || echo win64)}
./tools/build.sh native "$arch" >/dev/null
./tools/wineprefix.sh "$arch"
echo "== $arch stub"
runs=${RUNS:-5}
work=$top/build/bench
data=$work/data
mkdir -p "$work"

if [ ! -s "$work/bench.7z" ]; then
  echo "== making the archive (100 MB random + 100 MB text)"
  rm -rf "$data" && mkdir -p "$data/text"
  head -c 100000000 /dev/urandom > "$data/random.bin"
  for n in 1 2 3 4; do
    yes "line $n of a text file that compresses well, 0123456789 abcdefghijklmnopqrstuvwxyz" | head -c 25000000 > "$data/text/part$n.txt" || true
  done
  (cd "$data" && 7z a -bd -bso0 -mx=1 "$work/bench.7z" .)
fi
mkdir -p "$work/lib" && cp build/native/7zfwd.so "$work/lib/7z.dll"
build/native/mksfx --stub "build/$arch/szsfx.exe" --library "build/$arch/7zfwd.dll" --archive "$work/bench.7z" \
  -o "$work/bench-sfx.exe" --overwrite 0
echo "== archive: $(stat -c %s "$work/bench.7z") bytes; self-extractor: $(stat -c %s "$work/bench-sfx.exe") bytes"

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

. tools/wine-env.sh "$arch"
out_unix="$WINEPREFIX/drive_c/bench-out"
measure_wine() {
  wineserver -p 60  # one server for all runs: start-up cost stays out of the numbers
  stub=$(timed "$out_unix" "$wine" "$work/bench-sfx.exe" -s -d 'C:\bench-out')
  cmp -s "$out_unix/random.bin" "$data/random.bin" || echo "warning: the stub's output differs" >&2
  harness=$(timed "$out_unix" "$wine" "build/$arch/szrun.exe" "Z:$work/bench.7z" 'C:\bench-out' --quiet \
    --dll-dir 'C:\Program Files\7-Zip\')
  cmp -s "$out_unix/random.bin" "$data/random.bin" || echo "warning: szrun's output differs" >&2
  rm -rf "$out_unix"
  peak=$( { /usr/bin/time -f '%M' "$wine" "$work/bench-sfx.exe" -s -d 'C:\bench-out' >/dev/null; } 2>&1 | tail -n 1)
  rm -rf "$out_unix"
  echo "$stub $harness $peak"
}
read -r stub harness peak < <(./tools/with-xvfb.sh "$arch" bash -c "$(declare -f median timed measure_wine); \
  top='$top' work='$work' data='$data' runs=$runs out_unix='$out_unix' arch='$arch' wine='$wine'; measure_wine")

native_szrun=$(timed "$work/out" build/native/szrun "$work/bench.7z" "$work/out" --quiet --dll-dir "$work/lib/")
native_7z=$(timed "$work/out" 7z x -bd -y -o"$work/out" "$work/bench.7z")
rm -rf "$work/out"

printf '\n%-44s %8s s\n' "stub under Wine (-s -d), median of $runs" "$stub"
printf '%-44s %8s s\n' "szrun under Wine (same library)" "$harness"
printf '%-44s %8s\n' "ratio stub / szrun" "$(echo "$stub / $harness" | bc -l | cut -c1-5)"
printf '%-44s %8s s\n' "szrun natively (7z.so)" "$native_szrun"
printf '%-44s %8s s\n' "7z x natively" "$native_7z"
printf '%-44s %8s\n' "ratio szrun / 7z x" "$(echo "$native_szrun / $native_7z" | bc -l | cut -c1-5)"
printf '%-44s %8s KiB\n' "stub peak resident memory (whole Wine process)" "$peak"
