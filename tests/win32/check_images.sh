#!/usr/bin/env bash
# Checks the built Windows images without running them: the stub is exactly the stub
# image size, a GUI program of the expected architecture importing only DLLs every
# Windows has (not shell32 and ole32: they load on the first shell call), whose load
# configuration has those DLLs' own imports found in the system folder only; the forwarder and our archive library export their two entry points
# undecorated; our library fits the library slot, imports only kernel32, msvcrt and
# oleaut32 and cannot load anything else.
#   check_images.sh BUILD_FOLDER OBJDUMP FORMAT STUB_SIZE SLOT_SIZE
#   (FORMAT: pei-i386 or pei-x86-64)
set -u
build=$1 objdump=$2 format=$3 size=$4 slot=$5
failures=0
check() { if ! eval "$2"; then echo "FAIL: $1"; failures=$((failures + 1)); fi; }

stub="$build/szsfx.exe" fwd="$build/7zfwd.dll" lib="$build/7zextract.dll"
stub_headers=$("$objdump" -p "$stub")
fwd_headers=$("$objdump" -p "$fwd")
system_dlls='^(advapi32|comctl32|gdi32|kernel32|msvcrt|ntdll|ole32|oleaut32|shell32|user32)\.dll$'

check "the stub is exactly $size bytes" "[ \$(stat -c %s '$stub') -eq $size ]"
check "the stub is a $format image" "grep -q 'file format $format' <<< \"\$stub_headers\""
check "the stub is a GUI program" "grep -q 'Subsystem.*(Windows GUI)' <<< \"\$stub_headers\""
stub_imports=$(grep 'DLL Name:' <<< "$stub_headers" | awk '{print tolower($3)}')
check "the stub imports only system DLLs (it imports: $(echo $stub_imports))" \
  "! grep -Evq '$system_dlls' <<< \"\$stub_imports\""
check "the stub loads shell32 and ole32 on their first call, not at start (it imports: $(echo $stub_imports))" \
  "! grep -Eq '^(shell32|ole32)\.dll$' <<< \"\$stub_imports\""
# The load configuration: the DLLs its imports need come from the system folder only
# (DependentLoadFlags LOAD_LIBRARY_SEARCH_SYSTEM32, the word at 0x36 of the 32-bit record,
# 0x4E of the 64-bit one), and the directory entry covers the whole record.
case $format in pei-i386) flags_at=54 record_size=72 ;; *) flags_at=78 record_size=112 ;; esac
read -r load_config_rva load_config_size < <(awk '/Load Configuration Directory/ {print $3, $4}' <<< "$stub_headers")
record=$("$objdump" -s -j .lcfg "$stub" 2>/dev/null |
         awk '/^ [0-9a-f]+ / {for (i = 2; i <= 5; i++) if (length($i) == 8 && $i ~ /^[0-9a-f]+$/) printf "%s", $i}')
check "the stub has a load configuration (directory: ${load_config_rva:-none})" \
  "[ -n '$load_config_rva' ] && [ \$((16#$load_config_rva)) -ne 0 ]"
check "its directory entry covers the $record_size-byte record (it says: ${load_config_size:-none})" \
  "[ -n '$load_config_size' ] && [ \$((16#$load_config_size)) -eq $record_size ] && [ '${record:0:8}' = \$(printf '%02x000000' $record_size) ]"
check "its DependentLoadFlags are LOAD_LIBRARY_SEARCH_SYSTEM32 (bytes: ${record:$((2 * flags_at)):4})" \
  "[ '${record:$((2 * flags_at)):4}' = 0008 ]"

# check_library NAME HEADERS IMPORT_NAMES: a DLL of the slot, its exports and imports.
check_library() {
  local name=$1 headers=$2 allowed=$3 exports imports
  check "$name is a $format image" "grep -q 'file format $format' <<< \"\$headers\""
  exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<< "$headers" | grep -o '^\s*\[ *[0-9]*\] .*' |
            sed 's/.*\] //' | sort | tr '\n' ' ')
  check "$name exports CreateObject and GetHandlerProperty undecorated (it exports: $exports)" \
    "[ '$exports' = 'CreateObject GetHandlerProperty ' ]"
  imports=$(grep 'DLL Name:' <<< "$headers" | awk '{print tolower($3)}')
  check "$name imports only $allowed (it imports: $(echo $imports))" \
    "! grep -Evq '^($allowed)\.dll$' <<< \"\$imports\""
}
check_library "the forwarder" "$fwd_headers" "kernel32|advapi32"

lib_headers=$("$objdump" -p "$lib")
lib_size=$(stat -c %s "$lib")
check "our library is at most $slot bytes (it is $lib_size)" "[ $lib_size -le $slot ]"
check_library "our library" "$lib_headers" "kernel32|msvcrt|oleaut32"
check "our library imports no way to load other code" \
  "! grep -Eq '\s(LoadLibrary|GetProcAddress|CoCreateInstance|GetModuleHandle)' <<< \"\$lib_headers\""

[ "$failures" -eq 0 ] && echo "images in $build: all checks passed (stub $(stat -c %s "$stub") bytes, library $lib_size bytes)"
exit "$failures"
