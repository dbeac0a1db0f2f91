#!/usr/bin/env bash
# Prepares one of the project's private Wine prefixes: fonts, no window-manager
# decorations, and the Windows 7-Zip library installed where 7-Zip's installer puts it.
#   wineprefix.sh ARCH    (win32: build/wineprefix, 32-bit;  win64: build/wineprefix64;
#                          win32-qemu: build/wineprefix-qemu, 32-bit programs under qemu-i386;
#                          each with "-bare": the same kind of prefix without 7-Zip)
# With SZSFX_WINE_DPI=N (N other than 96): a copy of that prefix whose display has N DPI.
# Idempotent: a prefix that is already complete is left as it is.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:?"usage: wineprefix.sh win32|win64|win32-qemu[-bare]"}
cache="$top/build/cache"

# 32-bit Wine under user-mode emulation. Wine finds its libraries from the loader's own
# path and starts 32-bit programs with the `wine` beside its 64-bit loader, so a private
# copy of the loader folder sends them through qemu-i386. The reserved address (-R) spares
# Wine a very slow address-space reservation under qemu.
make_qemu_loader() {
  local q="$top/build/qemu-wine"
  rm -rf "$q"
  mkdir -p "$q/usr/lib/wine" "$q/usr/share" "$q/bin"
  cp /usr/lib/wine/wine64 "$q/usr/lib/wine/wine64"
  cp /usr/lib/wine/wine "$q/usr/lib/wine/wine.elf"
  ln -s /usr/lib/i386-linux-gnu "$q/usr/lib/i386-linux-gnu"
  ln -s /usr/lib/x86_64-linux-gnu "$q/usr/lib/x86_64-linux-gnu"
  ln -s /usr/share/wine "$q/usr/share/wine"
  printf '#!/bin/sh\nWINELOADERNOEXEC=1 exec qemu-i386 -R 0x84000000 -0 %s %s "$@"\n' \
    "$q/usr/lib/wine/wine" "$q/usr/lib/wine/wine.elf" > "$q/usr/lib/wine/wine"
  printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 -p0 "$@"\n' > "$q/usr/lib/wine/wineserver"
  printf '#!/bin/sh\nWINELOADERNOEXEC=1 exec %s "$@"\n' "$q/usr/lib/wine/wine64" > "$q/bin/wine"
  printf '#!/bin/sh\nWINELOADERNOEXEC=1 exec %s wineboot "$@"\n' "$q/usr/lib/wine/wine64" > "$q/bin/wineboot"
  chmod +x "$q/usr/lib/wine/wine" "$q/usr/lib/wine/wineserver" "$q/bin/wine" "$q/bin/wineboot"
}

. "$top/tools/wine-env.sh" "$arch"
ready="$WINEPREFIX/.szsfx-ready"

# A display of another DPI: a copy of the prefix with the DPI that Wine reads for the
# screen (the user's LogPixels), so that the other tests keep 96 DPI.
if [ "$wine_dpi" != 96 ]; then
  base=${WINEPREFIX%-dpi"$wine_dpi"}
  SZSFX_WINE_DPI=96 "$0" "$arch"
  [ -f "$ready" ] && [ "$ready" -nt "$base/.szsfx-ready" ] && [ "$ready" -nt "$0" ] && exit 0
  echo "wineprefix: copying $base for $wine_dpi DPI"
  rm -rf "$WINEPREFIX"
  cp -a "$base" "$WINEPREFIX"
  rm -f "$ready"
  unset DISPLAY
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$wine_dpi" /f >/dev/null
  wineserver -w
  touch "$ready"
  echo "wineprefix: ready"
  exit 0
fi

[ -f "$ready" ] && [ "$ready" -nt "$0" ] && [ "$ready" -nt "$top/tools/wine-env.sh" ] && exit 0
case "${arch%-bare}" in
  win64) dll="$cache/7z-x64.dll" folder='C:\Program Files\7-Zip\' unix_folder="Program Files/7-Zip" view=/reg:64 ;;
  win32) dll="$cache/7z-ia32.dll" folder='C:\Program Files\7-Zip\' unix_folder="Program Files/7-Zip" view= ;;
  win32-qemu) dll="$cache/7z-ia32.dll" folder='C:\Program Files (x86)\7-Zip\' unix_folder="Program Files (x86)/7-Zip" view=/reg:32 ;;
esac
[ -s "$dll" ] || { echo "wineprefix: $dll is missing; run tools/setup.sh" >&2; exit 1; }
[ "${arch%-bare}" = win32-qemu ] && make_qemu_loader

mkdir -p "$HOME"
rm -rf "$WINEPREFIX"
echo "wineprefix: creating $WINEPREFIX"
unset DISPLAY
"$wine" wineboot -i >/dev/null 2>&1 || true
wineserver -w

# Debian's Wine does not load its own fonts unless they are linked into the prefix.
ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"

# No window manager runs under Xvfb: Wine draws and manages the windows itself.
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null

# The archive library of the prefix's bitness, installed as 7-Zip's installer would
# (not in a bare prefix, which stands for a clean Windows).
if [ "${arch%-bare}" = "$arch" ]; then
  mkdir -p "$WINEPREFIX/drive_c/$unix_folder"
  cp "$dll" "$WINEPREFIX/drive_c/$unix_folder/7z.dll"
  "$wine" reg add 'HKLM\SOFTWARE\7-Zip' /v Path /t REG_SZ /d "$folder" /f $view >/dev/null
fi
wineserver -w
[ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] ||
  { echo "wineprefix: $WINEPREFIX was not created" >&2; exit 1; }
touch "$ready"
echo "wineprefix: ready"
