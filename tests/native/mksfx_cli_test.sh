#!/usr/bin/env bash
# mksfx from the command line: a good build, clear refusals, no half-written output.
set -u
mksfx=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
check() { if ! eval "$2"; then echo "FAIL: $1"; failures=$((failures + 1)); fi; }

truncate -s 223744 "$dir/stub"
head -c 2000 /dev/urandom > "$dir/lib"
printf '7z\xbc\xaf\x27\x1c\x00\x04archive' > "$dir/a.7z"
printf 'zero\none\\r\\ntwo lines\n' > "$dir/msgs.txt"

"$mksfx" --stub "$dir/stub" --library "$dir/lib" --archive "$dir/a.7z" -o "$dir/out.exe" \
  --messages "$dir/msgs.txt" --title "CLI title" --overwrite 1 --run setup.cmd
check "a good build exits 0" '[ $? -eq 0 ]'
check "the output has every piece" "[ \$(stat -c %s '$dir/out.exe') -eq \$((300032 + 9 + 20 + 832 + 15)) ]"
check "the title is in the record" "grep -q 'CLI title' '$dir/out.exe'"
check "the archive is at the end" "cmp -s <(tail -c 15 '$dir/out.exe') '$dir/a.7z'"

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
"$mksfx" --print-messages > "$dir/default.txt"
check "the default table prints 66 lines" "[ \$(wc -l < '$dir/default.txt') -eq 66 ]"

[ "$failures" -eq 0 ] && echo "mksfx command line: all checks passed"
exit "$failures"
