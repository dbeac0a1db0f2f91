#!/usr/bin/env bash
# Prepares the project's private Wine prefix (build/wineprefix): fonts, no window
# manager decorations, the Windows 7-Zip library installed where 7-Zip puts it.
# Idempotent: a prefix that is already complete is left as it is.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$top/build/wineprefix"
export HOME="$top/build/winehome"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
ready="$WINEPREFIX/.szsfx-ready"
dll="$top/build/cache/7z-ia32.dll"

[ -f "$ready" ] && [ "$ready" -nt "$0" ] && exit 0
[ -s "$dll" ] || { echo "wineprefix: $dll is missing; run tools/setup.sh" >&2; exit 1; }

mkdir -p "$HOME"
echo "wineprefix: creating $WINEPREFIX"
unset DISPLAY
wineboot -i >/dev/null 2>&1 || true
wineserver -w

# Debian's Wine does not load its own fonts unless they are linked into the prefix.
ln -sf /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"

# No window manager runs under Xvfb: Wine draws and manages the windows itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null

# The archive library, installed as 7-Zip's installer would.
mkdir -p "$WINEPREFIX/drive_c/Program Files/7-Zip"
cp "$dll" "$WINEPREFIX/drive_c/Program Files/7-Zip/7z.dll"
wine reg add 'HKLM\SOFTWARE\7-Zip' /v Path /t REG_SZ /d 'C:\Program Files\7-Zip\' /f >/dev/null
wineserver -w
touch "$ready"
echo "wineprefix: ready"
