#!/usr/bin/env bash
# Benchmark of our Windows library (7zextract.dll) against 7-Zip's own 7z.dll of the same
# bitness under Wine: the same archives through the same engine harness (szrun.exe), in
# the prefix without 7-Zip. One method per archive (Copy, LZMA, LZMA2, PPMd, BCJ2, AES
# over Copy, AES over LZMA2). Prints per archive and library the median wall time, user
# and system CPU of the Wine process, the CPU the prefix's wineserver spent for the run,
# the peak resident memory, and the ratios ours / 7-Zip's. Median of RUNS (default 5);
# the two libraries take turns so that a busy machine slows both alike.
# The 32-bit pair runs only where build/cache/runs-i386 says the kernel executes 32-bit
# code. Not a test: it asserts nothing, but warns when an output or a result is wrong.
#   [RUNS=5] [ARCHIVES="lzma ppmd ..."] [OURS=<7zextract.dll>] bench/library-wine.sh [win64] [win32]
# OURS measures another build of ours (one preset, say a -DSZSFX_LZMA_ASM=OFF build of it).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
runs=${RUNS:-5}
work=$top/build/bench-library-wine
data=$work/data
read -r -a archives <<< "${ARCHIVES:-copy lzma lzma2 ppmd bcj2 aes aes-lzma2}"
source_of() { case $1 in ppmd) echo text ;; bcj2) echo exe ;; *) echo mixed ;; esac; }

make_data() {
  [ -e "$data/done" ] && return
  echo "== making the data (once)"
  rm -rf "$data" && mkdir -p "$data/mixed" "$data/text" "$data/exe"
  python3 - "$data" <<'EOF'
import random, sys
data = sys.argv[1]
# Text of random words (many literals and short matches, like prose) and random bytes.
words = [b"alpha", b"bravo", b"charlie", b"delta", b"echo", b"foxtrot", b"golf", b"hotel", b"india", b"juliett"]
r = random.Random(3)
with open(data + "/mixed/text.txt", "wb") as f:
    size = n = 0
    while size < 60000000:
        line = b"record %08d: %s\n" % (n, b" ".join(r.choice(words) for _ in range(12)))
        f.write(line)
        size += len(line)
        n += 1
with open(data + "/mixed/random.bin", "wb") as f:
    f.write(random.Random(2).randbytes(20000000))
with open(data + "/mixed/text.txt", "rb") as f, open(data + "/text/part.txt", "wb") as g:
    g.write(f.read(30000000))
# Executable-like: instructions with relative calls and jumps among random bytes.
r = random.Random(1)
ops = b"\x48\x89\x8b\x45\x83\xc4\x5d\xc3\x55\x31\xc0\x74\x75"
out = bytearray()
while len(out) < 16000000:
    op = r.random()
    if op < 0.1: out += b"\xe8" + r.randrange(-65536, 65536).to_bytes(4, "little", signed=True)
    elif op < 0.15: out += b"\x0f\x85" + r.randrange(-4096, 4096).to_bytes(4, "little", signed=True)
    else: out += bytes(r.choice(ops) for _ in range(r.randrange(1, 6)))
with open(data + "/exe/program.bin", "wb") as f:
    f.write(out)
EOF
  touch "$data/done"
}

make_archives() {
  [ -e "$work/archives-done" ] && return
  echo "== making the archives (once)"
  seven() { 7z a -bd -bso0 -bsp0 -y "$@"; }
  rm -f "$work"/*.7z
  (cd "$data/mixed" && seven -m0=Copy "$work/copy.7z" . && seven -m0=LZMA -mx=5 "$work/lzma.7z" . &&
    seven -m0=LZMA2 -mx=3 "$work/lzma2.7z" . && seven -m0=Copy -pSecret -mhe=on "$work/aes.7z" . &&
    seven -m0=LZMA2 -mx=1 -pSecret -mhe=on "$work/aes-lzma2.7z" .)
  (cd "$data/text" && seven -m0=PPMd -mx=5 "$work/ppmd.7z" .)
  (cd "$data/exe" && seven -m0=BCJ2 -m1=LZMA2 -m2=LZMA2 -m3=LZMA2 -mb0s0:1 -mb0s1:2 -mb0s2:3 "$work/bcj2.7z" .)
  touch "$work/archives-done"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

# The CPU time (in seconds) the wineserver of this prefix has used so far.
server_pid=
find_server() {
  server_pid=
  local p
  for p in $(pgrep -x 'wineserver(64)?' || true); do
    if { tr '\0' '\n' < "/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      server_pid=$p
      return
    fi
  done
}
server_cpu() {
  if [ -z "$server_pid" ] || [ ! -r "/proc/$server_pid/stat" ]; then
    echo 0
    return
  fi
  awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15) / hz}' "/proc/$server_pid/stat"
}

# one_run PRESET LIB ARCHIVE: one extraction; appends "wall user sys server peak" to
# $work/times-LIB-ARCHIVE and warns when the harness did not report success.
one_run() {
  local preset=$1 lib=$2 archive=$3 before after
  rm -rf "$work/out"
  before=$(server_cpu)
  # shellcheck disable=SC2154
  /usr/bin/time -o "$work/time" -f '%e %U %S %M' "$wine" "build/$preset/szrun.exe" "$work/$archive.7z" \
    "$work/out" --quiet --dll-dir "$work/$lib/" --password Secret > "$work/log" 2>&1 < /dev/null || true
  after=$(server_cpu)
  grep -q '^result 0x00000000 errors 0' "$work/log" || echo "warning: $lib on $archive: $(tail -n 1 "$work/log")" >&2
  read -r wall user sys peak < "$work/time"
  echo "$wall $user $sys $(awk -v a="$after" -v b="$before" 'BEGIN {print a - b}') $peak" >> "$work/times-$lib-$archive"
}

check_output() {  # check_output ARCHIVE: the last extraction holds the source's bytes
  local source f
  source=$data/$(source_of "$1")
  for f in "$source"/*; do
    cmp -s "$f" "$work/out/$(basename "$f")" || echo "warning: $1: $(basename "$f") differs from its source" >&2
  done
}

column() { awk -v c="$1" '{print $c}' "$2" | median; }

bench_preset() {
  local preset=$1 arch=$2 library=$3
  echo
  echo "== $preset: ${OURS:-build/$preset/7zextract.dll} against 7-Zip's $(basename "$library") ($preset Wine, median of $runs)"
  ./tools/build.sh "$preset" > /dev/null
  ./tools/wineprefix.sh "$arch-bare" > /dev/null
  mkdir -p "$work/ours" "$work/7zip"
  cp "${OURS:-build/$preset/7zextract.dll}" "$work/ours/7z.dll"
  cp "$library" "$work/7zip/7z.dll"
  # shellcheck source=/dev/null
  . tools/wine-env.sh "$arch-bare"  # sets WINEPREFIX and wine
  local wineserver=${wine%/*}/wineserver started=0
  find_server
  if [ -z "$server_pid" ]; then
    "$wineserver" -p > /dev/null 2>&1 < /dev/null
    started=1
  fi
  # A first run of each starts the prefix's services and fills the file cache.
  one_run "$preset" ours copy && one_run "$preset" 7zip copy
  find_server
  rm -f "$work"/times-*
  printf '%-10s %-5s %7s %6s %6s %7s %7s   %6s %6s %6s\n' archive lib wall user sys server "peakMB" \
    "wall÷" "user÷" "cpu÷"
  local archive lib i
  for archive in "${archives[@]}"; do
    for i in $(seq "$runs"); do
      for lib in ours 7zip; do
        one_run "$preset" "$lib" "$archive"
        [ "$lib$i" = "ours1" ] && check_output "$archive"
      done
    done
    local -A med=()
    for lib in ours 7zip; do
      local t=$work/times-$lib-$archive
      med[$lib-wall]=$(column 1 "$t") med[$lib-user]=$(column 2 "$t") med[$lib-sys]=$(column 3 "$t")
      med[$lib-server]=$(column 4 "$t") med[$lib-peak]=$(awk '{print $5}' "$t" | sort -n | tail -n 1)
      med[$lib-cpu]=$(awk '{print $2 + $3 + $4}' "$t" | median)
    done
    for lib in ours 7zip; do
      local ratios=""
      [ "$lib" = ours ] && ratios=$(printf '%6s %6s %6s' "$(ratio "${med[ours-wall]}" "${med[7zip-wall]}")" \
        "$(ratio "${med[ours-user]}" "${med[7zip-user]}")" "$(ratio "${med[ours-cpu]}" "${med[7zip-cpu]}")")
      printf '%-10s %-5s %7.3f %6.2f %6.2f %7.2f %7.1f   %s\n' "$archive" "$lib" "${med[$lib-wall]}" \
        "${med[$lib-user]}" "${med[$lib-sys]}" "${med[$lib-server]}" "$(awk -v k="${med[$lib-peak]}" 'BEGIN {print k / 1024}')" \
        "$ratios"
    done
  done
  rm -rf "$work/out"
  if [ "$started" = 1 ]; then "$wineserver" -k > /dev/null 2>&1 || true; fi
}

make_data
make_archives
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(win64 win32)
for preset in "${presets[@]}"; do
  case $preset in
    win64) bench_preset win64 win64 build/cache/7z-x64.dll ;;
    win32)
      if [ "$(cat build/cache/runs-i386 2>/dev/null)" = yes ]; then
        bench_preset win32 win32 build/cache/7z-ia32.dll
      else
        echo
        echo "== win32: skipped: this kernel does not execute 32-bit code (build/cache/runs-i386), so 32-bit Wine cannot run here"
      fi ;;
    *) echo "library-wine.sh: unknown preset $preset (win64 or win32)" >&2; exit 2 ;;
  esac
done
echo
echo "Seconds, median of $runs runs of szrun.exe extracting to disk. user and sys: the Wine process"
echo "with its threads; server: the CPU the prefix's wineserver spent meanwhile; peakMB: the largest"
echo "resident set of the Wine process. Ratios ours / 7-Zip's: wall÷, user÷ (user CPU), cpu÷"
echo "(user + sys + server). Archives: 60 MB of random words + 20 MB random bytes (copy; lzma -mx=5;"
echo "lzma2 -mx=3, in blocks that decode on several threads; aes: AES-256 over Copy; aes-lzma2: AES-256"
echo "over LZMA2 -mx=1, encrypted headers), 30 MB of the words (ppmd -mx=5), 16 MB of x86-like code"
echo "(bcj2 with three LZMA2 streams)."
