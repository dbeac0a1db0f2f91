# Sourced by the Wine scripts: the environment of one of the project's Wine set-ups.
#   . tools/wine-env.sh ARCH
# ARCH is win32 (32-bit Wine, where the kernel executes 32-bit code), win64 (64-bit Wine,
# everywhere) or win32-qemu (32-bit programs under user-mode emulation, for the smoke test
# where the kernel cannot execute them). A "-bare" suffix (win64-bare, ...) names a prefix
# of the same kind with no 7-Zip installed, as on a clean Windows. SZSFX_WINE_DPI, when set to
# another value than 96, names a copy of that prefix whose display has that DPI
# (tools/wineprefix.sh makes it). Sets WINEPREFIX, HOME, WINEDEBUG, WINEDLLOVERRIDES and
# `wine`, the loader to start programs with.
wine_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
wine_arch=${1:?"wine-env.sh: name the architecture: win32, win64 or win32-qemu"}
export HOME="$wine_top/build/winehome"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
wine_bare=
case "$wine_arch" in *-bare) wine_bare=-bare ;; esac
case "${wine_arch%-bare}" in
  win32)
    export WINEPREFIX="$wine_top/build/wineprefix"
    export WINEARCH=win32
    # Debian's front end picks the 32-bit loader whenever wine32 is installed.
    wine=/usr/bin/wine ;;
  win64)
    export WINEPREFIX="$wine_top/build/wineprefix64"
    export WINEARCH=win64
    wine=/usr/lib/wine/wine64 ;;
  win32-qemu)
    export WINEPREFIX="$wine_top/build/wineprefix-qemu"
    export WINEARCH=win64
    export WINELOADERNOEXEC=1
    # qemu's emulated AES instructions decrypt wrongly (7-Zip's own library gives wrong
    # bytes for AES archives with them, right ones without): hide them from its CPU.
    export QEMU_CPU=${QEMU_CPU:-max,-aes}
    wine="$wine_top/build/qemu-wine/usr/lib/wine/wine64" ;;
  *) echo "wine-env.sh: unknown architecture $wine_arch" >&2; return 1 ;;
esac
export WINEPREFIX="$WINEPREFIX$wine_bare"
wine_dpi=${SZSFX_WINE_DPI:-96}
[ "$wine_dpi" = 96 ] || export WINEPREFIX="$WINEPREFIX-dpi$wine_dpi"
