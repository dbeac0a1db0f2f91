#!/usr/bin/env bash
# Makes the differential corpus with the real 7z command: every method and filter our
# library decodes, compression levels, solid and not, encrypted data and headers,
# several folders, empty items, Unicode names; damaged, truncated and wrong-password
# copies; and, with --big, one archive of several hundred MB.
#   make_corpus.sh OUTPUT_FOLDER [--big]
# Writes OUTPUT_FOLDER/manifest: "KIND ARCHIVE PASSWORD ORIGINAL" per line (tab-separated,
# "-" for none), where KIND is
#   same         both libraries must report the same items, results and bytes
#   unsupported  like same, but items of methods we leave out fail as unsupported with us
#   bad          a broken copy of ORIGINAL: no item may succeed with bytes other than ORIGINAL's
set -euo pipefail
out=$1 big=${2:-}
export TZ=UTC
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
manifest="$out/manifest"
: > "$manifest"
seven() { 7z a -bd -bso0 -bsp0 -y "$@"; }
entry() { printf '%s\t%s\t%s\t%s\n' "$@" >> "$manifest"; }

# The tree: text, random and executable-looking data, empty file and folder, nested
# folders, names beyond ASCII (a surrogate pair among them), attributes and times.
t="$out/tree"
mkdir -p "$t/docs/sub" "$t/empty folder" "$t/bin" "$t/ünïcödé 日本"
printf 'Read me first.\r\n' > "$t/readme.txt"
seq 1 40000 > "$t/docs/numbers.txt"
for n in $(seq 1 300); do echo "line $n: the quick brown fox jumps over the lazy dog $((n * 7919 % 1000))"; done > "$t/docs/sub/fox.txt"
: > "$t/zero.txt"
head -c 70000 /dev/urandom > "$t/bin/random.bin"
{ printf 'MZ'; for i in $(seq 1500); do printf '\xe8\x10\x20\x00\x00\x90\x90\xe9\x00\x01\x00\x00\x0f\x85\x04\x00\x00\x00'; done; } > "$t/bin/prog.exe"
# Branch-converter food: 4-byte words, many of which look like calls of some processor.
python3 -c '
import random, sys
r = random.Random(7)
sys.stdout.buffer.write(bytes(r.choice([0x94, 0xeb, 0x48, 0x00, 0x01, 0xf0, 0x97, 0xef, 0x6f, 0x40]) if i % 4 == 3 else r.randrange(256) for i in range(60000)))
' > "$t/bin/code.bin"
printf 'unicode\n' > "$t/ünïcödé 日本/名前 😀.txt"
printf 'locked\n' > "$t/readonly.txt"
find "$t" -exec touch -h -d '2021-03-04 05:06:07' {} +
chmod 444 "$t/readonly.txt"

add() {  # add KIND NAME PASSWORD [7z options...]
  local kind=$1 name=$2 password=$3; shift 3
  (cd "$t" && seven "$@" "$out/$name" .)
  entry "$kind" "$name" "$password" -
}
add same copy.7z - -m0=Copy
for level in 1 5 9; do
  add same lzma-mx$level.7z - -m0=LZMA -mx=$level
  add same lzma2-mx$level.7z - -m0=LZMA2 -mx=$level
done
add same lzma2-nonsolid.7z - -ms=off
add same lzma2-two-per-folder.7z - -ms=2f
add same lzma2-raw-header.7z - -mhc=off
add same lzma-header-filter.7z - -m0=LZMA -mhc=on -mhcf=on
# Other literal and position bits than the usual 3/0/2, a window smaller than the data
# (matches that reach across its end), and a stream that ends with the end marker.
add same lzma-lc0-lp2-pb0-d64k.7z - -m0=LZMA:d=64k:lc=0:lp=2:pb=0
add same lzma-lc8-pb4-d64k-eos.7z - -m0=LZMA:d=64k:lc=8:pb=4:eos
add same ppmd.7z - -m0=PPMd
add same ppmd-o32-mem24.7z - -m0=PPMd:o=32:mem=24
add same ppmd-nonsolid.7z - -m0=PPMd -ms=off
for filter in BCJ ARM ARMT ARM64 PPC SPARC IA64 RISCV Delta:4; do
  add same "filter-${filter%%:*}.7z" - -mf="$filter"
done
add same bcj2.7z - -m0=BCJ2 -m1=LZMA2 -m2=LZMA2 -m3=LZMA2 -mb0s0:1 -mb0s1:2 -mb0s2:3
add same bcj2-lzma.7z - -m0=BCJ2 -m1=LZMA -m2=LZMA -m3=LZMA -mb0s0:1 -mb0s1:2 -mb0s2:3
add same aes.7z Secret -pSecret
add same aes-headers.7z Secret -pSecret -mhe=on
add same aes-nonsolid.7z Secret -pSecret -ms=off
add same aes-ppmd.7z 'pässwörd 😀' '-ppässwörd 😀' -m0=PPMd
add same aes-copy.7z Secret -pSecret -m0=Copy -mhe=on

# An archive whose items were all deleted: the 32-byte start header alone.
(cd "$t" && seven "$out/empty.7z" readme.txt && 7z d -bd -bso0 "$out/empty.7z" readme.txt)
entry same empty.7z - -

# Methods we leave out: the first folder Deflate (or BZip2), a second one LZMA2.
for method in Deflate BZip2; do
  (cd "$t" && seven -m0=$method "$out/other-$method.7z" docs && seven -m0=LZMA2 "$out/other-$method.7z" readme.txt bin)
  entry unsupported "other-$method.7z" - -
done

# An LZMA2 stream in independent 512 KB blocks (as the 7z command writes it on several
# threads), decoded on several threads: 16 items of 300 KB in one solid folder.
resets() {  # the packed offsets of the dictionary resets in the folder at offset 32
  python3 - "$1" <<'PY'
import sys
data, pos = open(sys.argv[1], "rb").read(), 32
while data[pos] != 0:
    c = data[pos]
    if c in (1, 2):
        if c == 1: print(pos)
        pos += 3 + (data[pos + 1] << 8 | data[pos + 2]) + 1
        continue
    if (c >> 5) & 3 == 3: print(pos)
    pos += 5 + (c >= 0xC0) + (data[pos + 3] << 8 | data[pos + 4]) + 1
PY
}
m="$out/blocks-tree"
mkdir -p "$m"
python3 -c '
import random
r = random.Random(11)
words = ["".join(r.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(r.randrange(2, 9))) for _ in range(3000)]
for k in range(16):
    text = ""
    while len(text) < 300000:
        text += " ".join(r.choice(words) for _ in range(12)) + "\n"
    open("%s/part%02d.txt" % (__import__("sys").argv[1], k), "w").write(text[:300000])
' "$m"
(cd "$m" && seven -m0=LZMA2:d=64k:c=512k -mmt=2 "$out/lzma2-blocks.7z" .)
rm -rf "$m"
mapfile -t blocks < <(resets "$out/lzma2-blocks.7z")
if [ "${#blocks[@]}" -lt 8 ]; then
  echo "make_corpus: lzma2-blocks.7z has ${#blocks[@]} independent blocks, not 8 or more" >&2
  exit 1
fi
entry same lzma2-blocks.7z - -
# Damaged in its third block (the output's second MB): items 0 to 2 lie before it.
cp "$out/lzma2-blocks.7z" "$out/damaged-lzma2-blocks.7z"
printf '\x55\xaa\x55\xaa' | dd of="$out/damaged-lzma2-blocks.7z" bs=1 seek=$((blocks[2] + 1000)) conv=notrunc status=none
entry bad damaged-lzma2-blocks.7z - lzma2-blocks.7z

# Folders whose coders feed each other megabytes, which ours decodes on a thread per coder:
# BCJ2 over LZMA2 and LZMA (its call stream over 1 MB, its jump stream under), a filter
# over LZMA, AES under LZMA and under LZMA2 in blocks.
c="$out/chain-tree"
mkdir -p "$c"
python3 -c '
import random, sys
r = random.Random(5)
ops = b"\x48\x89\x8b\x45\x83\xc4\x5d\xc3\x55\x31\xc0\x74\x75"
out = bytearray()
while len(out) < 6000000:
    op = r.random()
    if op < 0.2: out += b"\xe8" + r.randrange(-65536, 65536).to_bytes(4, "little", signed=True)
    elif op < 0.3: out += b"\x0f\x85" + r.randrange(-4096, 4096).to_bytes(4, "little", signed=True)
    else: out += bytes(r.choice(ops) for _ in range(r.randrange(1, 6)))
open(sys.argv[1] + "/program.bin", "wb").write(out)
' "$c"
seq 1 300000 > "$c/numbers.txt"
(cd "$c" && seven -m0=BCJ2 -m1=LZMA2 -m2=LZMA -m3=LZMA -mb0s0:1 -mb0s1:2 -mb0s2:3 "$out/chain-bcj2.7z" .)
(cd "$c" && seven -m0=BCJ -m1=LZMA "$out/chain-bcj-lzma.7z" .)
(cd "$c" && seven -m0=LZMA -pSecret "$out/chain-aes-lzma.7z" .)
(cd "$c" && seven -m0=LZMA2:d=64k:c=512k -mmt=2 -pSecret -mhe=on "$out/chain-aes-lzma2.7z" .)
rm -rf "$c"
entry same chain-bcj2.7z - -
entry same chain-bcj-lzma.7z - -
entry same chain-aes-lzma.7z Secret -
entry same chain-aes-lzma2.7z Secret -

# Broken copies: bytes flipped in the packed data, cut short, or the wrong password.
damage() {  # damage ORIGINAL COPY PASSWORD POSITION (a share of the size, in percent)
  cp "$out/$1" "$out/$2"
  local size; size=$(stat -c %s "$out/$1")
  printf '\x55\xaa\x55\xaa' | dd of="$out/$2" bs=1 seek=$((size * $4 / 100)) conv=notrunc status=none
  entry bad "$2" "$3" "$1"
}
for a in copy lzma-mx5 lzma2-mx5 ppmd bcj2 filter-ARM64 filter-Delta lzma2-nonsolid chain-bcj2 chain-bcj-lzma; do
  damage "$a.7z" "damaged-$a.7z" - 33
  damage "$a.7z" "damaged-end-$a.7z" - 50
done
damage aes.7z damaged-aes.7z Secret 33
damage chain-aes-lzma.7z damaged-chain-aes-lzma.7z Secret 33
damage chain-aes-lzma2.7z damaged-chain-aes-lzma2.7z Secret 33
damage lzma2-raw-header.7z damaged-header.7z - 99  # the header is at the end
for a in lzma2-mx5 aes-headers ppmd chain-bcj2; do
  size=$(stat -c %s "$out/$a.7z")
  head -c $((size * 2 / 3)) "$out/$a.7z" > "$out/truncated-$a.7z"
  entry bad "truncated-$a.7z" - "$a.7z"
done
for a in aes aes-headers aes-nonsolid aes-ppmd aes-copy chain-aes-lzma chain-aes-lzma2; do
  entry bad "$a.7z" wrong "$a.7z"
done

if [ "$big" = --big ]; then
  # Several hundred MB in one solid folder: text with a counter, and a random block.
  b="$out/big"
  mkdir -p "$b"
  python3 -c '
import sys
w = sys.stdout.buffer.write
for i in range(5000000):
    w(b"record %09d of the large file, some text that repeats with a counter\n" % i)
' > "$b/large.txt"
  head -c 20000000 /dev/urandom > "$b/random.bin"
  (cd "$b" && seven -mx=1 "$out/big.7z" .)
  rm -rf "$b"
  entry same big.7z - -
fi
echo "corpus ready in $out ($(wc -l < "$manifest") archives)"
