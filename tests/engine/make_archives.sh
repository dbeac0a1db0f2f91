#!/usr/bin/env bash
# Makes the engine tests' archives with the real 7z command, together with the trees
# they were made from, and puts the library forwarder beside them as "7z.dll".
#   make_archives.sh OUTPUT_FOLDER FORWARDER [MARKER_PROGRAM]
# With the Win32 marker program it also makes command.7z for the command tests.
set -euo pipefail
out=$1 forwarder=$2 marker=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
export TZ=UTC
rm -rf "$out"
mkdir -p "$out/lib" "$out/tree" "$out/hostile" "$out/big" "$out/cancel" "$out/devices" "$out/unicode"
cp "$forwarder" "$out/lib/7z.dll"
seven() { 7z a -bd -bso0 -bsp0 -y "$@"; }

# A tree with nested folders, an empty folder, an empty file, a read-only file and
# an executable-looking file for the BCJ2 filter; known times (odd seconds on purpose).
t="$out/tree"
mkdir -p "$t/docs/sub" "$t/docs2" "$t/empty" "$t/bin"
printf 'Read me first.\r\n' > "$t/readme.txt"
printf 'alpha\n' > "$t/docs/a.txt"
printf 'bravo\n' > "$t/docs/sub/b.txt"
printf 'charlie\n' > "$t/docs2/c.txt"
: > "$t/zero.txt"
printf 'locked\n' > "$t/readonly.txt"
head -c 300000 /dev/urandom > "$t/bin/random.bin"
{ printf 'MZ'; for _ in $(seq 2000); do printf '\xe8\x10\x20\x00\x00\x90\x90\xe9\x00\x01\x00\x00'; done; } > "$t/bin/prog.exe"
find "$t" -exec touch -h -d '2020-05-06 07:08:09' {} +
chmod 444 "$t/readonly.txt"
(cd "$t" && seven "$out/tree.7z" . && seven -ms=off "$out/nonsolid.7z" . \
  && seven -m0=BCJ2 -m1=LZMA2 -m2=LZMA2 -m3=LZMA2 -mb0s0:1 -mb0s1:2 -mb0s2:3 "$out/bcj2.7z" . \
  && seven -pSecret -mhe=off "$out/aes.7z" . && seven -pSecret -mhe=on "$out/aes_headers.7z" . \
  && seven -pSecret -ms=off "$out/aes_nonsolid.7z" .)

# Times the packed DOS form cannot hold, to the 100 ns unit the archive keeps: odd seconds
# with a fraction, before 1970, before 1980, after 2107; and a file stored without a time.
m="$out/times"
mkdir -p "$m"
for named in 'odd.txt=2020-05-06 07:08:09.1234567' 'before-1970.txt=1969-12-31 23:59:59.5' \
  '1975.txt=1975-03-04 05:06:07.0000001' '2200.txt=2200-01-02 03:04:05.9876543'; do
  printf '%s\n' "${named%%=*}" > "$m/${named%%=*}"
  touch -d "${named#*=}" "$m/${named%%=*}"
done
(cd "$m" && seven "$out/times.7z" -- *.txt && seven -mtm=off "$out/notime.7z" odd.txt)

# Damaged copies: bytes flipped in the packed data, and a truncated file.
cp "$out/tree.7z" "$out/damaged.7z"
size=$(stat -c %s "$out/tree.7z")
printf '\xff\x00\xff\x00\xff\x00\xff\x00' | dd of="$out/damaged.7z" bs=1 seek=$((size / 3)) conv=notrunc status=none
head -c $((size * 2 / 3)) "$out/tree.7z" > "$out/truncated.7z"

# 64 MiB in one file.
yes 'The quick brown fox jumps over the lazy dog 0123456789' | head -c 67108864 > "$out/big/big.txt" || true
(cd "$out/big" && seven -mx=1 "$out/big.7z" big.txt)

# Several incompressible files stored without compression, for cancelling mid-file.
for n in 1 2 3 4; do head -c 8000000 /dev/urandom > "$out/cancel/part$n.bin"; done
(cd "$out/cancel" && seven -mx=0 -ms=off "$out/cancel.7z" .)

# Hostile item paths: stored under harmless names of the same length, then renamed
# inside the uncompressed archive header.
h="$out/hostile"
mkdir -p "$h/xx" "$h/sub"
for name in xx/e1.txt Ze2.txt CCe3.txt okX4.txt QQsrvQe5.txt aa.txt good.txt sub/fine.txt; do
  printf 'payload of %s\n' "$name" > "$h/$name"
done
(cd "$h" && seven -mhc=off -ms=off "$out/hostile.7z" .)
python3 "$here/rename_items.py" "$out/hostile.7z" \
  'xx/e1.txt=../e1.txt' 'Ze2.txt=/e2.txt' 'CCe3.txt=C:e3.txt' 'okX4.txt=ok:4.txt' \
  'QQsrvQe5.txt=\\srv\e5.txt' 'aa.txt=...txt'
# Names Windows treats specially: device names (also with an extension, as a folder)
# and names ending in a dot or a space.
v="$out/devices"
mkdir -p "$v/d" "$v/aux"
for name in CON nul.txt d/COM1.log trail. 'trail2 ' trail aux/x.txt; do
  printf 'payload of %s\n' "$name" > "$v/$name"
done
(cd "$v" && seven "$out/devices.7z" .)

# Names in Greek, CJK and outside the BMP, and a file about 400 characters deep.
u="$out/unicode"
deep="$u/$(printf 'level-%02d-of-a-deeply-nested-package-tree/' $(seq 1 9))"
mkdir -p "$u/Ελληνικά" "$u/中文目录" "$deep"
printf 'Greek\n' > "$u/Ελληνικά/αρχείο.txt"
printf 'CJK\n' > "$u/中文目录/文件.txt"
printf 'outside the BMP\n' > "$u/emoji-😀-𝄞.txt"
printf 'deep\n' > "${deep}the-file-at-the-bottom-of-the-tree.txt"
(cd "$u" && seven "$out/unicode.7z" .)

# One item 60,000 folders deep (120,008 characters, far beyond the 32,767 of a long
# path), named on the command line, and a normal item after it.
mkdir -p "$out/deep"
printf 'normal\n' > "$out/deep/normal.txt"
(cd "$out/deep" && printf 'deep\n' | seven -ms=off -si"$(printf 'a/%.0s' $(seq 60000))deep.txt" "$out/deep.7z" \
  && seven -ms=off "$out/deep.7z" normal.txt)

# A program to start after extraction, an INF file to install, a stored 16 MB file
# that keeps a run going long enough to cancel it.
if [ -n "$marker" ]; then
  c="$out/command"
  mkdir -p "$c/tools" "$c/setup"
  cp "$marker" "$c/tools/marker.exe"
  printf 'Read me.\r\n' > "$c/readme.txt"
  printf '[Version]\r\nSignature="$Windows NT$"\r\n\r\n[DefaultInstall]\r\nAddReg=Marker.AddReg\r\n\r\n' > "$c/setup/driver.inf"
  printf '[Marker.AddReg]\r\nHKCU,Software\\BrambleloaderTest,Installed,,"yes"\r\n' >> "$c/setup/driver.inf"
  head -c 16000000 /dev/urandom > "$c/zz-large.bin"
  (cd "$c" && seven -mx=0 -ms=off "$out/command.7z" .)
fi
echo "archives ready in $out"
