#!/usr/bin/env bash
# The house-style check: every C and C++ file as clang-format 14 writes it, includes
# pointing one way between the folders of src/, and no clang-tidy finding (.clang-tidy)
# in the portable sources and tools, read through the native build's compile database.
# Prints the findings and exits 1 if there are any.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
status=0

mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
echo "== format (${#sources[@]} files)"
clang-format-14 --dry-run --Werror "${sources[@]}" || status=1

echo "== layers"
./tools/check_layers.sh || status=1

echo "== tidy"
database=build/native/compile_commands.json
if [ ! -f "$database" ]; then
  echo "no $database: configure the native preset first (cmake --preset native)"
  exit 1
fi
mapfile -t units < <(python3 - "$database" <<'PY'
import json, sys
files = {e["file"] for e in json.load(open(sys.argv[1]))}
print("\n".join(sorted(f for f in files if f.endswith(".cpp") and ("/src/" in f or "/tools/" in f))))
PY
)
printf '%s\n' "${units[@]}" | xargs -P2 -n4 clang-tidy-14 -p build/native --quiet >build/tidy.log 2>&1 || status=1
grep -E "(warning|error):" build/tidy.log | sort -u
exit $status
