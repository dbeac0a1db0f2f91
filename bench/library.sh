#!/usr/bin/env bash
# Benchmark of our archive library against 7-Zip's (7z.so through the forwarder): the
# same archives through the same harness (szrun), natively. Prints, per archive, the
# time ratio ours / 7-Zip's on one processor (7-Zip cannot use its decoder threads) and
# with all processors, and the peak resident memory of each. Median of RUNS (default 3).
# Not a test: it asserts nothing, but warns when an output differs from its source.
# Then bench/library-wine.sh compares the Windows builds under Wine (WINE=0 skips it).
# OURS=<lib7zextract.so> measures another build of ours (say, one with -DSZSFX_LZMA_ASM=OFF).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
./tools/fetch-decoders.sh
./tools/build.sh native >/dev/null
runs=${RUNS:-3}
work=$top/build/bench-library
data=$work/data
mkdir -p "$work/ours" "$work/7zip" "$data"
cp "${OURS:-build/native/lib7zextract.so}" "$work/ours/7z.dll"
cp build/native/7zfwd.so "$work/7zip/7z.dll"
seven() { 7z a -bd -bso0 -bsp0 -y "$@"; }

make_data() {
  [ -e "$data/done" ] && return
  echo "== making the data (once)"
  rm -rf "$data" && mkdir -p "$data/mixed" "$data/text" "$data/exe"
  python3 -c '
import sys
w = sys.stdout.buffer.write
for i in range(1500000):
    w(b"%08d: line of a text file that compresses well, with a counter %d and words\n" % (i, i * 7919 % 100003))
' > "$data/mixed/text.txt"
  head -c 100000000 /dev/urandom > "$data/mixed/random.bin"
  head -c 60000000 "$data/mixed/text.txt" > "$data/text/part.txt"
  # Executable-like: instructions with relative calls and jumps among random bytes.
  python3 -c '
import random, sys
r = random.Random(1)
out = bytearray()
while len(out) < 40000000:
    op = r.random()
    if op < 0.1: out += b"\xe8" + r.randrange(-65536, 65536).to_bytes(4, "little", signed=True)
    elif op < 0.15: out += b"\x0f\x85" + r.randrange(-4096, 4096).to_bytes(4, "little", signed=True)
    else: out += bytes(r.choice(b"\x48\x89\x8b\x45\x83\xc4\x5d\xc3\x55\x31\xc0\x74\x75") for _ in range(r.randrange(1, 6)))
sys.stdout.buffer.write(out)
' > "$data/exe/program.bin"
  # 1 GB of text for the memory bound (16 MB dictionary, one solid folder).
  mkdir -p "$data/gig"
  for _ in $(seq 1 17); do cat "$data/mixed/text.txt"; done | head -c 1000000000 > "$data/gig/large.txt" || true
  touch "$data/done"
}

make_archives() {
  # LZMA alone (one thread in both libraries): the decoder loop itself.
  [ -e "$work/lzma.7z" ] || (cd "$data/mixed" && seven -m0=LZMA -mx=5 "$work/lzma.7z" .)
  [ -e "$work/done" ] && return
  echo "== making the archives (once)"
  (cd "$data/mixed" && seven -m0=LZMA2 -mx=5 "$work/lzma2.7z" .)
  (cd "$data/text" && seven -m0=PPMd -mx=5 "$work/ppmd.7z" .)
  (cd "$data/exe" && seven -m0=BCJ2 -m1=LZMA2 -m2=LZMA2 -m3=LZMA2 -mb0s0:1 -mb0s1:2 -mb0s2:3 "$work/bcj2.7z" .)
  (cd "$data/mixed" && seven -m0=LZMA2 -mx=1 -pSecret -mhe=on "$work/aes.7z" .)
  (cd "$data/gig" && seven -m0=LZMA2:d=16m -mx=1 "$work/gig.7z" .)
  touch "$work/done"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# time_runs LIBDIR ARCHIVE [taskset args]: the median wall time of `runs` extractions.
time_runs() {
  local lib=$1 archive=$2; shift 2
  for _ in $(seq "$runs"); do
    rm -rf "$work/out"
    local start end
    start=$(date +%s.%N)
    "$@" build/native/szrun "$work/$archive" "$work/out" --quiet --dll-dir "$lib/" --password Secret >/dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc -l
  done | median
}
peak_kib() {
  rm -rf "$work/out"
  /usr/bin/time -f '%M' build/native/szrun "$work/$2" "$work/out" --quiet --dll-dir "$1/" --password Secret \
    2>&1 >/dev/null | tail -n 1
}
check_output() {
  local source=$1
  for f in "$source"/*; do
    cmp -s "$f" "$work/out/$(basename "$f")" || echo "warning: $(basename "$f") differs from its source" >&2
  done
}
ratio() { echo "$1 / $2" | bc -l | cut -c1-5; }

make_data
make_archives
printf '\n%-10s %9s %9s %7s   %9s %9s %7s   %10s %10s\n' archive "ours 1cpu" "7z 1cpu" ratio \
  "ours all" "7z all" ratio "ours KiB" "7z KiB"
for pair in lzma:mixed lzma2:mixed ppmd:text bcj2:exe aes:mixed gig:gig; do
  name=${pair%%:*} source=$data/${pair#*:}
  ours1=$(time_runs "$work/ours" "$name.7z" taskset -c 0)
  check_output "$source"
  theirs1=$(time_runs "$work/7zip" "$name.7z" taskset -c 0)
  ours=$(time_runs "$work/ours" "$name.7z")
  theirs=$(time_runs "$work/7zip" "$name.7z")
  printf '%-10s %9.3f %9.3f %7s   %9.3f %9.3f %7s   %10s %10s\n' "$name" "$ours1" "$theirs1" \
    "$(ratio "$ours1" "$theirs1")" "$ours" "$theirs" "$(ratio "$ours" "$theirs")" \
    "$(peak_kib "$work/ours" "$name.7z")" "$(peak_kib "$work/7zip" "$name.7z")"
done
rm -rf "$work/out"
echo
echo "Times in seconds (median of $runs), szrun extracting to disk; ratio = ours / 7-Zip's."
echo "gig: 1 GB of text in one solid LZMA2 folder with a 16 MB dictionary (the memory bound)."
[ "${WINE:-1}" = 0 ] || "$top/bench/library-wine.sh"
