#!/usr/bin/env bash
# Fetches the C decoder sources of our archive library (LZMA, LZMA2, PPMd, BCJ2, the
# branch filters, Delta, AES, SHA-256, CRC) and the x86-64 assembly LZMA decoder with its
# macro file from Debian's 7zip source package into build/cache/7zip-decoders, through a private apt configuration with a deb-src entry
# (the system's apt configuration is not touched). Only the listed files are unpacked.
# Idempotent: does nothing when the files are already there.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cache="$top/build/cache"
dest="$cache/7zip-decoders"
apt_dir="$cache/apt-src"

# The decoder files we compile, relative to the tarball's C/ folder. Nothing else is unpacked.
files=(7zTypes.h 7zWindows.h Compiler.h Precomp.h CpuArch.c CpuArch.h Alloc.c Alloc.h
       LzmaDec.c LzmaDec.h Lzma2Dec.c Lzma2Dec.h Lzma2DecMt.c Lzma2DecMt.h MtDec.c MtDec.h
       Threads.c Threads.h Ppmd.h Ppmd7.c Ppmd7.h Ppmd7Dec.c Bcj2.c Bcj2.h Bra.c Bra.h Bra86.c
       BraIA64.c Delta.c Delta.h Aes.c Aes.h AesOpt.c Sha256.c Sha256.h Sha256Opt.c
       7zCrc.c 7zCrc.h 7zCrcOpt.c RotateDefs.h)
# The x86-64 assembly LZMA decoder (MASM syntax; tools/masm_to_gas.py translates it at build
# time), relative to the tarball's Asm/x86/ folder. It lands beside the C files.
asm_files=(LzmaDecOpt.asm 7zAsm.asm)

complete=1
for f in "${files[@]}" "${asm_files[@]}"; do [ -f "$dest/$f" ] || complete=0; done
[ "$complete" = 1 ] && exit 0
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/download"

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
mirror=http://deb.debian.org/debian
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
cat > "$apt_dir/sources.list" <<SOURCES
deb-src [signed-by=$keyring] $mirror $codename main
deb-src [signed-by=$keyring] $mirror $codename-updates main
SOURCES
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=-
          -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
          -o APT::Sandbox::User=root -q)

tarball() { find "$apt_dir/download" -maxdepth 1 -name '7zip_*.orig.tar.*' | sort | tail -n 1; }
if [ -z "$(tarball)" ]; then
  echo "fetch-decoders: fetching Debian's 7zip source package"
  for attempt in 1 2 3; do
    apt-get "${apt_opts[@]}" update >/dev/null && break
    echo "fetch-decoders: apt-get update failed (attempt $attempt)" >&2
    [ "$attempt" = 3 ] && exit 1
    sleep $((attempt * 5))
  done
  (cd "$apt_dir/download" && apt-get "${apt_opts[@]}" source --download-only 7zip >/dev/null)
fi
archive=$(tarball)
[ -n "$archive" ] || { echo "fetch-decoders: no 7zip source tarball was downloaded" >&2; exit 1; }

# The top folder's name changes with the version: read it from the listing's first entry.
top_folder=$(tar -tJf "$archive" | awk -F/ 'NR == 1 { print $1 }')
members=()
for f in "${files[@]}"; do members+=("$top_folder/C/$f"); done
asm_members=()
for f in "${asm_files[@]}"; do asm_members+=("$top_folder/Asm/x86/$f"); done
rm -rf "$dest.part" && mkdir -p "$dest.part"
# Files that an older version does not have are left out: the build decides what it needs.
present=$(tar -tJf "$archive" "${members[@]}" 2>/dev/null || true)
# shellcheck disable=SC2086
tar -xJf "$archive" -C "$dest.part" --strip-components=2 $present
present=$(tar -tJf "$archive" "${asm_members[@]}" 2>/dev/null || true)
# shellcheck disable=SC2086
[ -z "$present" ] || tar -xJf "$archive" -C "$dest.part" --strip-components=3 $present
basename "$archive" > "$dest.part/.version"
rm -rf "$dest" && mv "$dest.part" "$dest"
echo "fetch-decoders: $(ls "$dest" | wc -l) decoder files from $(cat "$dest/.version") in $dest"
