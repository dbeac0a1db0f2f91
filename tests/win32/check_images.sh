#!/usr/bin/env bash
# Checks the built Windows images without running them: the stub is exactly the stub
# image size, a GUI program of the expected architecture importing only DLLs every
# Windows has; the forwarder exports its two entry points undecorated.
#   check_images.sh BUILD_FOLDER OBJDUMP FORMAT STUB_SIZE     (FORMAT: pei-i386 or pei-x86-64)
set -u
build=$1 objdump=$2 format=$3 size=$4
failures=0
check() { if ! eval "$2"; then echo "FAIL: $1"; failures=$((failures + 1)); fi; }

stub="$build/szsfx.exe" fwd="$build/7zfwd.dll"
stub_headers=$("$objdump" -p "$stub")
fwd_headers=$("$objdump" -p "$fwd")
system_dlls='^(advapi32|comctl32|gdi32|kernel32|msvcrt|ole32|oleaut32|shell32|user32)\.dll$'

check "the stub is exactly $size bytes" "[ \$(stat -c %s '$stub') -eq $size ]"
check "the stub is a $format image" "grep -q 'file format $format' <<< \"\$stub_headers\""
check "the stub is a GUI program" "grep -q 'Subsystem.*(Windows GUI)' <<< \"\$stub_headers\""
stub_imports=$(grep 'DLL Name:' <<< "$stub_headers" | awk '{print tolower($3)}')
check "the stub imports only system DLLs (it imports: $(echo $stub_imports))" \
  "! grep -Evq '$system_dlls' <<< \"\$stub_imports\""
check "the forwarder is a $format image" "grep -q 'file format $format' <<< \"\$fwd_headers\""
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<< "$fwd_headers" | grep -o '^\s*\[ *[0-9]*\] .*' | sed 's/.*\] //' | sort | tr '\n' ' ')
check "the forwarder exports CreateObject and GetHandlerProperty undecorated (it exports: $exports)" \
  "[ '$exports' = 'CreateObject GetHandlerProperty ' ]"
fwd_imports=$(grep 'DLL Name:' <<< "$fwd_headers" | awk '{print tolower($3)}')
check "the forwarder imports only kernel32 and advapi32 (it imports: $(echo $fwd_imports))" \
  "! grep -Evq '^(kernel32|advapi32)\.dll$' <<< \"\$fwd_imports\""

[ "$failures" -eq 0 ] && echo "images in $build: all checks passed (stub $(stat -c %s "$stub") bytes)"
exit "$failures"
