#!/usr/bin/env bash
# Hostile archives made at test time (make_hostile.py), each extracted by szrun through
# our library: it stays within its case's resident-memory, virtual-memory and CPU bounds
# (GNU time, the kernel's peaks), and ends as the case expects; the differential cases end
# as the 7z command's own test of the same archive does.
#   hostile_archives.sh SZRUN LIBRARY_FOLDER
set -u
szrun=$(realpath "$1") library=$(realpath "$2")/
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$(dirname "$0")/make_hostile.py" "$work/archives" || exit 1
failures=0 count=0
fail() { echo "FAIL $name: $*"; failed=1; }

while read -r name password expected max_rss_mb max_virtual_mb max_cpu_s; do
  count=$((count + 1)) failed=0
  archive="$work/archives/$name.7z" out="$work/out"
  rm -rf "$out" && mkdir "$out"
  args=(--quiet --peak)
  [ "$password" != - ] && args+=(--password "$password")
  log=$(/usr/bin/time -o "$work/time" -f "%M %U %S" timeout 600 "$szrun" "$archive" "$out" --dll-dir "$library" \
        "${args[@]}" 2>&1)
  code=$?
  read -r rss_kb user_s system_s < <(tail -n 1 "$work/time")
  virtual_kb=$(sed -n 's/^peak virtual \([0-9]*\) KB.*/\1/p' <<< "$log")
  result=$(grep '^result ' <<< "$log")
  cpu_s=$(awk -v u="$user_s" -v s="$system_s" 'BEGIN { print u + s }')
  echo "$name: ${result:-no result}, exit $code, peak ${rss_kb} KB resident, ${virtual_kb:-?} KB virtual, ${cpu_s} s CPU"
  [ "$rss_kb" -le $((max_rss_mb * 1024)) ] || fail "resident peak ${rss_kb} KB above ${max_rss_mb} MB"
  awk -v c="$cpu_s" -v m="$max_cpu_s" 'BEGIN { exit !(c <= m) }' || fail "${cpu_s} s of CPU, above ${max_cpu_s} s"
  [ -n "$virtual_kb" ] && [ "$virtual_kb" -le $((max_virtual_mb * 1024)) ] ||
    fail "virtual peak ${virtual_kb:-?} KB above ${max_virtual_mb} MB"
  case $expected in
    ok) [ "$code" -eq 0 ] || fail "expected a clean extraction" ;;
    refused) grep -q '^result 0x80004005 ' <<< "$result" || fail "expected the archive to be refused at open" ;;
    errors:*) [ "$result" = "result 0x00000000 errors ${expected#errors:}" ] ||
                fail "expected the archive to open and ${expected#errors:} items to fail" ;;
    same)
      7z t -p"${password/-/none}" "$archive" > "$work/7z.log" 2>&1
      reference=$?
      [ $((reference == 0)) -eq $((code == 0)) ] ||
        fail "the 7z command's test exits $reference, szrun $code: $(grep -m1 -E 'ERROR|Everything' "$work/7z.log")" ;;
    *) fail "unknown expectation $expected" ;;
  esac
  failures=$((failures + failed))
done < "$work/archives/cases.txt"
echo "$((count - failures)) passed, $failures failed"
[ "$failures" -eq 0 ] && [ "$count" -gt 0 ]
