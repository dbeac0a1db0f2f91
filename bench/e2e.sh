#!/usr/bin/env bash
# End-to-end benchmark: the self-extractor against 7-Zip's own 7z.exe of the same bitness,
# on three archives made from fixed seeds (every run and every machine extracts the same
# bytes):
#   big   170 MB of text and 60 MB of random bytes, LZMA2 -mx=3 (about 64 MB)
#   many  FILES (20,000) files of 1-3 KB in 200 folders, -mx=5
#   tiny  one 15-byte file
# On the tiny archive the stub runs in alternating pairs with the floor of a window program
# (bench/window_floor.c: one window with a button, a list box and a progress bar, shown, its
# messages pumped, closed), and the ratio self-extractor / window program is printed.
# For each bitness that runs here (the 32-bit one only where the kernel executes 32-bit
# code; ARCHS=... to choose): the stub with our library (automatic extraction, -s -d) and
# 7z.exe x, both started directly in the prefix without 7-Zip, one wineserver kept up for
# every run and a display present; on the big archive also the engine harness (szrun.exe,
# no windows) with our 7zextract.dll and with 7-Zip's 7z.dll. Natively, szrun on p7zip's
# 7z.so against the 7z command.
# Prints medians (RUNS, default 5; RUNS_MANY, default 3, for the many-files archive) of wall
# time and of CPU time (user+system), the ratios, the marginal ratio (big - tiny against
# big - tiny) and peak resident memory. Every output is compared with the source files.
# With BASELINE=FILE (a stub of the same bitness, say one built from an earlier commit), the
# same self-extractors built on that stub run too, and the ratio new / baseline is printed.
# Not a test: it asserts nothing.
#   bench/e2e.sh            SHAPES="big many tiny" ARCHS="win64" RUNS=5 FILES=20000 BASELINE="" 
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
./tools/setup.sh >/dev/null
if [ -z "${ARCHS:-}" ]; then
  ARCHS=win64
  [ "$(cat build/cache/runs-i386)" = yes ] && ARCHS="win32 win64"
fi
shapes=${SHAPES:-big many tiny}
runs=${RUNS:-5}
runs_many=${RUNS_MANY:-3}
files=${FILES:-20000}
work=$top/build/bench
mkdir -p "$work"
for arch in $ARCHS; do
  ./tools/build.sh native "$arch" >/dev/null
  ./tools/wineprefix.sh "$arch-bare"
done

# ---- The archives --------------------------------------------------------------------
make_big() {
  local data=$work/big-data
  [ -s "$work/big.7z" ] && return
  rm -rf "$data" && mkdir -p "$data/text"
  python3 - "$data" <<'PY'
import random, sys
out = sys.argv[1]
with open(out + "/random.bin", "wb") as f:
    r = random.Random(20240601)
    for _ in range(60):
        f.write(r.randbytes(1000000))
words = [b"alpha", b"bravo", b"charlie", b"delta", b"echo", b"foxtrot", b"golf", b"hotel", b"india", b"juliett"]
for part in range(1, 5):
    r = random.Random(part)
    with open("%s/text/part%d.txt" % (out, part), "wb") as f:
        size = n = 0
        while size < 42500000:
            line = b"record %08d of part %d: %s\n" % (n, part, b" ".join(r.choice(words) for _ in range(12)))
            f.write(line)
            size += len(line)
            n += 1
PY
  (cd "$data" && 7z a -bd -bso0 -m0=LZMA2 -mx=3 "$work/big.7z.part" . && mv "$work/big.7z.part" "$work/big.7z")
}
make_many() {
  local data=$work/many-data
  [ -s "$work/many.7z" ] && [ "$(cat "$work/many.count" 2>/dev/null)" = "$files" ] && return
  rm -rf "$data" && mkdir -p "$data"
  python3 - "$data" "$files" <<'PY'
import os, random, sys
out, count = sys.argv[1], int(sys.argv[2])
r = random.Random(7)
words = [b"lorem", b"ipsum", b"dolor", b"sit", b"amet", b"consectetur", b"adipiscing", b"elit"]
for i in range(count):
    folder = "%s/dir%03d" % (out, i % 200)
    os.makedirs(folder, exist_ok=True)
    size = r.randint(1024, 3072)
    text = b" ".join(r.choice(words) for _ in range(size // 4))[:size]
    with open("%s/file%05d.txt" % (folder, i), "wb") as f:
        f.write(text)
PY
  rm -f "$work/many.7z"
  (cd "$data" && 7z a -bd -bso0 -mx=5 "$work/many.7z.part" . && mv "$work/many.7z.part" "$work/many.7z")
  echo "$files" > "$work/many.count"
}
make_tiny() {
  local data=$work/tiny-data
  [ -s "$work/tiny.7z" ] && return
  rm -rf "$data" && mkdir -p "$data"
  printf 'hello, world!\r\n' > "$data/hello.txt"
  (cd "$data" && 7z a -bd -bso0 "$work/tiny.7z.part" . && mv "$work/tiny.7z.part" "$work/tiny.7z")
}
for shape in $shapes; do "make_$shape"; done

# ---- Measuring -------------------------------------------------------------------------
# One run: "wall cpu peak" (seconds, seconds, KiB), after clearing OUT; GNU time reports
# the CPU time and peak resident memory of the program (the largest of its processes).
one_run() {
  local out=$1; shift
  rm -rf "$out"
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -o "$work/time" -f '%U %S %M' "$@" >/dev/null 2>&1 || echo "warning: $* ended with $?" >&2
  end=$(date +%s.%N)
  read -r user sys peak < <(tail -n 1 "$work/time")
  echo "$(echo "$end - $start" | bc -l) $(echo "$user + $sys" | bc -l) $peak"
}
# The medians of a file of one_run lines: "wall cpu peak" (wall and CPU each their own
# median; the largest peak).
median_of_runs() {
  local runs_file=$1 column wall cpu peak
  column() { awk -v c="$1" '{print $c}' "$runs_file" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
  wall=$(column 1) cpu=$(column 2)
  peak=$(awk '$3 > p {p = $3} END {print p}' "$runs_file")
  echo "$wall $cpu $peak"
}
# Median of N runs of one command.
median_of() {
  local n=$1 out=$2 runs_file
  shift 2
  runs_file=$(mktemp)
  for _ in $(seq "$n"); do one_run "$out" "$@"; done > "$runs_file"
  median_of_runs "$runs_file"
  rm -f "$runs_file"
}
# Compares an extracted tree with the source; warns (on standard error) when they differ.
check() { diff -r "$1" "$work/$2-data" >/dev/null 2>&1 || echo "warning: $3 on $2: the output differs from the source" >&2; }

bench_arch() {
  local arch=$1
  local sevenzip=build/cache/7z-x64.exe sevendll=build/cache/7z-x64.dll
  [ "$arch" = win32 ] && sevenzip=build/cache/7z-ia32.exe sevendll=build/cache/7z-ia32.dll
  # 7-Zip's program and library from a folder of their own, as a portable copy runs.
  mkdir -p "$work/$arch/7zip" "$work/$arch/lib-ours" "$work/$arch/lib-7zip"
  cp "$sevenzip" "$work/$arch/7zip/7z.exe" && cp "$sevendll" "$work/$arch/7zip/7z.dll"
  cp "$sevendll" "$work/$arch/lib-7zip/7z.dll"
  cp "build/$arch/7zextract.dll" "$work/$arch/lib-ours/7z.dll"
  cp "build/$arch/window_floor.exe" "$work/$arch/window_floor.exe"
  for shape in $shapes; do
    build/native/mksfx --stub "build/$arch/szsfx.exe" --archive "$work/$shape.7z" \
      -o "$work/$arch/$shape-sfx.exe" --overwrite 0 >/dev/null
    rm -f "$work/$arch/$shape-base.exe"
    if [ -n "${BASELINE:-}" ]; then
      build/native/mksfx --stub "$BASELINE" --library "build/$arch/7zextract.dll" --archive "$work/$shape.7z" \
        -o "$work/$arch/$shape-base.exe" --overwrite 0 >/dev/null
    fi
  done
  local results=$work/$arch/results
  : > "$results"
  local script
  script=$(cat <<EOF
set -euo pipefail
. tools/wine-env.sh $arch-bare
$(declare -f one_run median_of_runs median_of check)
work='$work'
wineserver -p  # one server for every run: the prefix's start-up stays out of the numbers
"\$wine" cmd /c exit >/dev/null 2>&1 || true
out_unix=\$WINEPREFIX/drive_c/bench-out
for shape in $shapes; do
  n=$runs; [ "\$shape" = many ] && n=$runs_many
  if [ "\$shape" = tiny ]; then
    # The stub and the window program in alternating pairs: the machine's drift hits both.
    : > '$work/$arch/tiny-stub.runs'; : > '$work/$arch/tiny-floor.runs'
    for _ in \$(seq \$n); do
      one_run "\$out_unix" "\$wine" '$work/$arch/tiny-sfx.exe' -s -d 'C:\\bench-out' >> '$work/$arch/tiny-stub.runs'
      one_run '$work/$arch/floor-out' "\$wine" '$work/$arch/window_floor.exe' >> '$work/$arch/tiny-floor.runs'
    done
    echo "tiny stub \$(median_of_runs '$work/$arch/tiny-stub.runs')" >> '$results'
    echo "tiny floor \$(median_of_runs '$work/$arch/tiny-floor.runs')" >> '$results'
  else
    echo "\$shape stub \$(median_of \$n "\$out_unix" "\$wine" '$work/$arch/'\$shape-sfx.exe -s -d 'C:\\bench-out')" >> '$results'
  fi
  check "\$out_unix" \$shape "the $arch stub"
  if [ -f '$work/$arch/'\$shape-base.exe ]; then
    echo "\$shape stub-base \$(median_of \$n "\$out_unix" "\$wine" '$work/$arch/'\$shape-base.exe -s -d 'C:\\bench-out')" >> '$results'
    check "\$out_unix" \$shape "the $arch baseline stub"
  fi
  echo "\$shape 7z \$(median_of \$n "\$out_unix" "\$wine" '$work/$arch/7zip/7z.exe' x -bd -y -o'C:\\bench-out' "Z:$work/\$shape.7z")" >> '$results'
  check "\$out_unix" \$shape "7z.exe ($arch)"
  if [ "\$shape" = big ]; then
    for lib in ours 7zip; do
      echo "big szrun-\$lib \$(median_of \$n "\$out_unix" "\$wine" 'build/$arch/szrun.exe' "Z:$work/big.7z" 'C:\\bench-out' --quiet --dll-dir "Z:$work/$arch/lib-\$lib/")" >> '$results'
      check "\$out_unix" big "szrun.exe ($arch, \$lib library)"
    done
  fi
done
rm -rf "\$out_unix"
wineserver -k
EOF
)
  ./tools/with-xvfb.sh "$arch-bare" bash -c "$script"
}

for arch in $ARCHS; do
  echo "== $arch: measuring ($shapes)"
  bench_arch "$arch"
done
if [[ " $shapes " == *" big "* ]]; then
  mkdir -p "$work/native-lib" && cp build/native/7zfwd.so "$work/native-lib/7z.dll"
  {
    echo "big szrun $(median_of "$runs" "$work/out" build/native/szrun "$work/big.7z" "$work/out" --quiet --dll-dir "$work/native-lib/")"
    check "$work/out" big "szrun natively"
    echo "big 7z $(median_of "$runs" "$work/out" 7z x -bd -y -o"$work/out" "$work/big.7z")"
    check "$work/out" big "the 7z command"
  } > "$work/native-results"
  rm -rf "$work/out"
fi

# ---- The report ----------------------------------------------------------------------------
value() { awk -v s="$2" -v p="$3" -v f="$4" '$1 == s && $2 == p {print $(f + 2)}' "$1"; }
ratio() { [ -n "$1" ] && [ -n "$2" ] && echo "scale=3; $1 / $2" | bc -l | sed 's/^\./0./' || echo -; }
echo
for arch in $ARCHS; do
  r=$work/$arch/results
  echo "== $arch (wall and CPU: medians in seconds; peak: KiB resident)"
  printf '%-6s %-26s %8s %8s %9s\n' archive program wall cpu peak
  for shape in $shapes; do
    while read -r s program wall cpu peak; do
      [ "$s" = "$shape" ] || continue
      case $program in
        stub) name="self-extractor -s -d" ;; stub-base) name="baseline stub -s -d" ;; 7z) name="7z.exe x" ;;
        floor) name="window program (floor)" ;; szrun-ours) name="szrun.exe, our library" ;; szrun-7zip) name="szrun.exe, 7-Zip's 7z.dll" ;;
      esac
      printf '%-6s %-26s %8.3f %8.3f %9s\n' "$s" "$name" "$wall" "$cpu" "$peak"
    done < "$r"
  done
  for shape in $shapes; do
    # The goals: big at most 1.10 and many at most 0.75 of 7z.exe's time; tiny is held
    # against the floor of a window program instead.
    case $shape in big) goal="   (goal: at most 1.10)" ;; many) goal="   (goal: at most 0.75)" ;; *) goal="" ;; esac
    printf 'ratio self-extractor / 7z.exe, %-5s wall %6s  cpu %6s%s\n' "$shape" \
      "$(ratio "$(value "$r" "$shape" stub 1)" "$(value "$r" "$shape" 7z 1)")" \
      "$(ratio "$(value "$r" "$shape" stub 2)" "$(value "$r" "$shape" 7z 2)")" "$goal"
    if [ -n "$(value "$r" "$shape" floor 1)" ]; then
      printf 'ratio self-extractor / window program, %-5s wall %6s  cpu %6s   (goal: at most 1.2)\n' "$shape" \
        "$(ratio "$(value "$r" "$shape" stub 1)" "$(value "$r" "$shape" floor 1)")" \
        "$(ratio "$(value "$r" "$shape" stub 2)" "$(value "$r" "$shape" floor 2)")"
    fi
    [ -n "$(value "$r" "$shape" stub-base 1)" ] || continue
    printf 'ratio self-extractor / baseline, %-5s wall %6s  cpu %6s\n' "$shape" \
      "$(ratio "$(value "$r" "$shape" stub 1)" "$(value "$r" "$shape" stub-base 1)")" \
      "$(ratio "$(value "$r" "$shape" stub 2)" "$(value "$r" "$shape" stub-base 2)")"
  done
  if [[ " $shapes " == *" big "* && " $shapes " == *" tiny "* ]]; then
    ours=$(echo "$(value "$r" big stub 1) - $(value "$r" tiny stub 1)" | bc -l)
    theirs=$(echo "$(value "$r" big 7z 1) - $(value "$r" tiny 7z 1)" | bc -l)
    printf 'marginal ratio (big - tiny) / (big - tiny)     %6s   (goal: at most 1.05)\n' "$(ratio "$ours" "$theirs")"
    printf 'fixed cost of a start (tiny): self-extractor %.3f s, 7z.exe %.3f s\n' \
      "$(value "$r" tiny stub 1)" "$(value "$r" tiny 7z 1)"
  fi
  if [[ " $shapes " == *" big "* ]]; then
    printf 'ratio szrun.exe our library / 7-Zip'"'"'s, big: wall %6s  cpu %6s\n' \
      "$(ratio "$(value "$r" big szrun-ours 1)" "$(value "$r" big szrun-7zip 1)")" \
      "$(ratio "$(value "$r" big szrun-ours 2)" "$(value "$r" big szrun-7zip 2)")"
  fi
  echo
done
if [ -s "$work/native-results" ]; then
  r=$work/native-results
  printf 'native, big: szrun (7z.so) %.3f s, 7z x %.3f s, ratio %s\n' "$(value "$r" big szrun 1)" \
    "$(value "$r" big 7z 1)" "$(ratio "$(value "$r" big szrun 1)" "$(value "$r" big 7z 1)")"
fi
