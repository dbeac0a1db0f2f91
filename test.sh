#!/usr/bin/env bash
# Builds both targets and runs every test: native, native with sanitizers (with the
# fuzzers), and the Win32 tests under Wine inside Xvfb. Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")"
./tools/setup.sh || exit 1
./tools/build.sh || exit 1
./tools/wineprefix.sh || exit 1

declare -A result
run() {
  local name=$1; shift
  echo "== test $name"
  if "$@"; then result[$name]=passed; else result[$name]=FAILED; fi
}
run native ctest --preset native
run native-asan ctest --preset native-asan
run win32 ./tools/with-xvfb.sh ctest --preset win32

echo
echo "== summary"
status=0
for name in native native-asan win32; do
  echo "  $name: ${result[$name]}"
  [ "${result[$name]}" = passed ] || status=1
done
exit $status
