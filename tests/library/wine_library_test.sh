#!/usr/bin/env bash
# Our library for Windows, as the stub's engine loads it, on the differential corpus: the
# engine harness (szrun.exe, under the emulator) extracts every intact archive with our
# 7zextract.dll as the archive library, and the tree it writes must hold the same names
# and bytes as the 7z command's own extraction. Items of methods we leave out must fail
# alone (the rest of the archive is still written); broken archives must end with a
# result, never a crash.
#   wine_library_test.sh CORPUS SZRUN_EXE LIBRARY_DLL EMULATOR...
set -uo pipefail
corpus=$(realpath "$1") szrun=$(realpath "$2") library=$(realpath "$3")
shift 3
emulator=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/slot"
cp "$library" "$work/slot/7z.dll"

failures=0 count=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# run ARCHIVE PASSWORD: extracts into $work/ours with our library; the log is $work/log.
run() {
  rm -rf "$work/ours"
  (cd "$work" && TZ=UTC "${emulator[@]}" "$szrun" "$corpus/$1" ours --dll-dir "$work/slot/" --password "$2" \
     --quiet > "$work/log" 2>&1)
}

# reference ARCHIVE PASSWORD: the 7z command's extraction into $work/theirs.
reference() {
  rm -rf "$work/theirs"
  7z x -bd -bso0 -bsp0 -y "-p$2" "-o$work/theirs" "$corpus/$1" > /dev/null 2>&1
}

same_tree() {  # same_tree A B: the same names (folders too) and bytes
  diff <(cd "$1" && find . -mindepth 1 | sort) <(cd "$2" && find . -mindepth 1 | sort) > /dev/null &&
    diff -r "$1" "$2" > /dev/null
}

check_same() {  # check_same ARCHIVE PASSWORD
  run "$1" "$2"
  if ! grep -q '^result 0x00000000 errors 0' "$work/log"; then
    fail "$1: $(tail -n 3 "$work/log" | tr '\n' ' ')"
    return
  fi
  reference "$1" "$2"
  mkdir -p "$work/ours" "$work/theirs"  # an archive without items writes no folder
  same_tree "$work/theirs" "$work/ours" || fail "$1: the tree differs from the 7z command's"
}

check_unsupported() {  # the items of the left-out method fail; the LZMA2 folder is written
  run "$1" ""
  grep -q '^result 0x00000000 errors 0' "$work/log" && fail "$1: no item failed"
  grep -q '^result ' "$work/log" || fail "$1: no result ($(tail -n 2 "$work/log" | tr '\n' ' '))"
  reference "$1" ""
  for kept in readme.txt bin; do
    diff -r "$work/theirs/$kept" "$work/ours/$kept" > /dev/null 2>&1 || fail "$1: $kept was not extracted intact"
  done
}

check_bad() {  # ends with a result line (no crash), and never reports success
  run "$1" "$2"
  grep -q '^result 0x[0-9A-F]\{8\} errors [0-9]' "$work/log" || fail "$1: no result ($(tail -n 2 "$work/log" | tr '\n' ' '))"
  grep -q '^result 0x00000000 errors 0' "$work/log" && fail "$1: reported success"
}

while IFS=$'\t' read -r kind archive password _; do
  [ "$archive" = big.7z ] && continue
  [ "$password" = - ] && password=""
  # A password beyond the system code page cannot pass through the harness's command line.
  [ "$(printf '%s' "$password" | LC_ALL=C tr -d '\000-\177')" = "" ] || continue
  count=$((count + 1))
  case "$kind" in
    same) check_same "$archive" "$password" ;;
    unsupported) check_unsupported "$archive" ;;
    bad)
      # A damaged copy may still hold intact items (the flipped bytes may hit one folder
      # only), so only the wrong passwords and cut copies must fail as a whole.
      case "$archive" in
        truncated-*|aes*) check_bad "$archive" "$password" ;;
        *) run "$archive" "$password"
           grep -q '^result ' "$work/log" || fail "$archive: no result ($(tail -n 2 "$work/log" | tr '\n' ' '))" ;;
      esac ;;
  esac
done < "$corpus/manifest"
echo "$count archives through our library under the emulator, $failures failures"
[ "$count" -gt 50 ] && [ "$failures" -eq 0 ]
