#!/usr/bin/env bash
# The house-style check: every C and C++ file as clang-format 14 writes it, includes
# pointing one way between the folders of src/, and no clang-tidy finding (.clang-tidy)
# in every unit of ours: the portable sources and tools through the native build's compile
# database, the Windows-only ones through the Windows builds'.
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
# Every unit once: the native database for the portable sources and tools, then the
# Windows databases for the units the native pass does not check (the windows, the Win32
# platform, WinMain, the Windows tests), win64's first, then win32's for any unit that
# win64 lacks. clang reads a MinGW unit as the cross compiler does: the compiler's target,
# and that GCC's C++ headers, which clang's driver does not find in Debian's "12-posix"
# folder.
for preset in native win64; do
  if [ ! -f "build/$preset/compile_commands.json" ]; then
    echo "no build/$preset/compile_commands.json: configure the $preset preset first (cmake --preset $preset)"
    exit 1
  fi
done
: >build/tidy.log
# One line a database: its preset, clang's extra arguments for it, and its units.
if ! plan=$(python3 - "$top" native win64 win32 <<'PY'
import json, os, re, subprocess, sys
top, presets = sys.argv[1], sys.argv[2:]

def folder(path):
    return os.path.relpath(path, top).split(os.sep)[0]

def mingw_args(entries):
    compiler = next(e["command"].split()[0] for e in entries if e["file"].endswith(".cpp"))
    target = re.sub(r"-g\+\+(-posix)?$", "", os.path.basename(compiler))
    search = subprocess.run([compiler, "-xc++", "-E", "-v", "-"], input="", capture_output=True,
                            text=True).stderr
    listed = search.split("#include <...> search starts here:")[1].split("End of search list.")[0]
    cxx_dirs = [d.strip() for d in listed.splitlines() if "/c++" in d]
    return ["--extra-arg-before=--target=" + target] + ["--extra-arg=-isystem" + d for d in cxx_dirs]

checked = set()
for preset in presets:
    database = os.path.join(top, "build", preset, "compile_commands.json")
    if not os.path.exists(database):
        continue
    entries = json.load(open(database))
    native = preset == "native"
    # The native pass reads the portable sources and tools; the Windows passes every unit
    # of ours, the tests and C ones too.
    if native:
        wanted = {e["file"] for e in entries if folder(e["file"]) in ("src", "tools") and e["file"].endswith(".cpp")}
    else:
        wanted = {e["file"] for e in entries
                  if folder(e["file"]) in ("src", "tools", "tests") and e["file"].endswith((".cpp", ".c"))}
    units = sorted(wanted - checked)
    checked |= wanted
    if units:
        print(preset, " ".join([] if native else mingw_args(entries)), " ".join(units), sep="|")
PY
); then
  echo "could not list the units to check"
  exit 1
fi
while IFS='|' read -r preset extra_args units; do
  read -ra extra <<<"$extra_args"
  read -ra files <<<"$units"
  echo "   $preset: ${#files[@]} units"
  printf '%s\n' "${files[@]}" |
    xargs -P2 -n4 clang-tidy-14 -p "build/$preset" --quiet "${extra[@]}" >>build/tidy.log 2>&1 || status=1
done <<<"$plan"
grep -E "(warning|error):" build/tidy.log | sort -u
exit $status
