#!/usr/bin/env bash
# mksfx from the command line: a good build, clear refusals, no half-written output.
set -u
mksfx=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
check() { if ! eval "$2"; then echo "FAIL: $1"; failures=$((failures + 1)); fi; }

# Windows image headers, zero-padded: pe FILE SIZE MACHINE CHARACTERISTICS
pe() {
  python3 - "$@" <<'PY'
import struct, sys
path, size, machine, flags = sys.argv[1], int(sys.argv[2]), int(sys.argv[3], 0), int(sys.argv[4], 0)
image = bytearray(size)
image[0:2] = b"MZ"
image[0x3C:0x40] = struct.pack("<I", 0x80)
image[0x80:0x84] = b"PE\0\0"
image[0x84:0x86] = struct.pack("<H", machine)
image[0x96:0x98] = struct.pack("<H", flags)
open(path, "wb").write(image)
PY
}
pe "$dir/stub" 223744 0x14C 0x0102
pe "$dir/lib" 2000 0x14C 0x2102
pe "$dir/lib64" 2000 0x8664 0x2022
printf 'archived text\n' > "$dir/file.txt"
(cd "$dir" && 7z a -bd -bso0 -bsp0 a.7z file.txt)
archive_size=$(stat -c %s "$dir/a.7z")
printf 'zero\none\\r\\ntwo lines\n' > "$dir/msgs.txt"

"$mksfx" --stub "$dir/stub" --library "$dir/lib" --archive "$dir/a.7z" -o "$dir/out.exe" \
  --messages "$dir/msgs.txt" --title "CLI title" --overwrite 1 --run setup.cmd
check "a good build exits 0" '[ $? -eq 0 ]'
check "the output has every piece" "[ \$(stat -c %s '$dir/out.exe') -eq \$((300032 + 9 + 20 + 832 + archive_size)) ]"
check "the title is in the record" "grep -q 'CLI title' '$dir/out.exe'"
check "the archive is at the end" "cmp -s <(tail -c $archive_size '$dir/out.exe') '$dir/a.7z'"

# Without --library: our own library, 7zextract.dll beside the stub, with the same checks.
mkdir -p "$dir/stubs"
cp "$dir/stub" "$dir/stubs/szsfx.exe"
err=$("$mksfx" --stub "$dir/stubs/szsfx.exe" --archive "$dir/a.7z" -o "$dir/x.exe" 2>&1)
check "without --library and no library beside the stub, the missing file is named" \
  "[[ '$err' == *'cannot read the library image $dir/stubs/7zextract.dll'* ]] && [ ! -e '$dir/x.exe' ]"
cp "$dir/lib64" "$dir/stubs/7zextract.dll"
err=$("$mksfx" --stub "$dir/stubs/szsfx.exe" --archive "$dir/a.7z" -o "$dir/x.exe" 2>&1)
check "the library beside the stub must have the stub's architecture" \
  "[[ '$err' == *'is a 64-bit x86-64 DLL'* ]] && [ ! -e '$dir/x.exe' ]"
{ cat "$dir/lib"; printf 'our library'; } > "$dir/stubs/7zextract.dll"
(cd "$dir/stubs" && "$mksfx" --stub szsfx.exe --archive ../a.7z -o ../beside.exe)
check "without --library the slot holds the library beside the stub" \
  "cmp -s <(head -c 2011 <(tail -c +223745 '$dir/beside.exe')) '$dir/stubs/7zextract.dll'"

cp "$dir/out.exe" "$dir/keep.exe"
head -c 76289 /dev/zero > "$dir/big"
err=$("$mksfx" --stub "$dir/stub" --library "$dir/big" --archive "$dir/a.7z" -o "$dir/out.exe" 2>&1)
check "an oversized library is refused" "[ \$? -ne 0 ] && [[ '$err' == *'larger than the 76288-byte slot'* ]]"
check "the previous output stays intact" "cmp -s '$dir/out.exe' '$dir/keep.exe'"
err=$("$mksfx" --stub "$dir/stub" --library "$dir/lib" --archive "$dir/a.7z" -o "$dir/x.exe" --title "$(printf '%0101d' 0)" 2>&1)
check "a title over 100 characters is refused" "[[ '$err' == *'at most 100 characters'* ]] && [ ! -e '$dir/x.exe' ]"
err=$("$mksfx" --stub "$dir/stub" --library "$dir/lib" -o "$dir/x.exe" 2>&1)
check "a missing archive option is named" "[[ '$err' == *'--archive'* ]]"
err=$("$mksfx" --stub "$dir/stub" --library "$dir/lib" --archive "$dir/a.7z" -o "$dir/x.exe" --overwrite 300 2>&1)
check "an out-of-range number is refused" "[[ '$err' == *'from 0 to 255'* ]] && [ ! -e '$dir/x.exe' ]"
err=$("$mksfx" --stub "$dir/stub" --library "$dir/lib64" --archive "$dir/a.7z" -o "$dir/x.exe" 2>&1)
check "a 64-bit library in a 32-bit stub is refused, naming both" \
  "[[ '$err' == *'is a 32-bit x86 program but the library image $dir/lib64 is a 64-bit x86-64 DLL'* ]] && [ ! -e '$dir/x.exe' ]"
err=$("$mksfx" --stub "$dir/stub" --library /etc/passwd --archive "$dir/a.7z" -o "$dir/x.exe" 2>&1)
check "a library that is no DLL is refused" "[[ '$err' == *'is not a Windows DLL'* ]] && [ ! -e '$dir/x.exe' ]"
err=$("$mksfx" --stub "$dir/stub" --library "$dir/lib" --archive /etc/passwd -o "$dir/x.exe" 2>&1)
check "an archive that is no 7z archive is refused" "[[ '$err' == *'is not a 7z archive'* ]] && [ ! -e '$dir/x.exe' ]"
head -c $((archive_size - 3)) "$dir/a.7z" > "$dir/cut.7z"
err=$("$mksfx" --stub "$dir/stub" --library "$dir/lib" --archive "$dir/cut.7z" -o "$dir/x.exe" 2>&1)
check "a truncated archive is refused" "[[ '$err' == *'is incomplete'* ]] && [ ! -e '$dir/x.exe' ]"

"$mksfx" --stub "$dir/stub" --library "$dir/lib" --archive "$dir/a.7z" -o "$dir/greek.exe" \
  --codepage 1253 --title 'Ελληνικά €'
greek=$(printf '\xc5\xeb\xeb\xe7\xed\xe9\xea\xdc \x80')
check "a Greek title is written in code page 1253" "LC_ALL=C grep -qF \"\$greek\" '$dir/greek.exe'"
err=$("$mksfx" --stub "$dir/stub" --library "$dir/lib" --archive "$dir/a.7z" -o "$dir/x.exe" --title 'Ελληνικά €' 2>&1)
check "a Greek title is refused in the default code page 1252" \
  "[[ '$err' == *'--title holds a character that code page 1252 cannot hold'* ]] && [ ! -e '$dir/x.exe' ]"
err=$("$mksfx" --stub "$dir/stub" --library "$dir/lib" --archive "$dir/a.7z" -o "$dir/x.exe" --title "$(printf 'é%.0s' $(seq 100))" 2>&1)
check "the limit counts characters of the code page, not UTF-8 bytes" "[ -e '$dir/x.exe' ]"
rm -f "$dir/x.exe"

err=$("$mksfx" --stub "$dir/stub" --archive "$dir/a.7z" -o "$dir/x.exe" 2>&1)
check "without --library the library beside the stub is named when missing" \
  "[[ '$err' == *'cannot read the library image $dir/7zextract.dll'* ]] && [ ! -e '$dir/x.exe' ]"
cp "$dir/lib" "$dir/7zextract.dll"
"$mksfx" --stub "$dir/stub" --archive "$dir/a.7z" -o "$dir/default-lib.exe"
check "without --library the slot holds 7zextract.dll from beside the stub" \
  "cmp -s <(tail -c +223745 '$dir/default-lib.exe' | head -c 2000) '$dir/lib'"
cp "$dir/lib64" "$dir/7zextract.dll"
err=$("$mksfx" --stub "$dir/stub" --archive "$dir/a.7z" -o "$dir/x.exe" 2>&1)
check "the default library's architecture is checked too" "[[ '$err' == *'64-bit x86-64 DLL'* ]] && [ ! -e '$dir/x.exe' ]"

"$mksfx" --print-messages > "$dir/default.txt"
check "the default table prints 66 lines" "[ \$(wc -l < '$dir/default.txt') -eq 66 ]"

[ "$failures" -eq 0 ] && echo "mksfx command line: all checks passed"
exit "$failures"
