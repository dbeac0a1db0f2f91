#!/usr/bin/env bash
# What the build cannot say about the folders of src/. Each folder is a CMake library that
# reaches the headers of the folders it links and no others, so a wrong include already
# fails to compile; this script checks the rest:
#   - our headers are named with their folder ("engine/SevenZip.h"): a name without one, or
#     with "..", would be found beside the including file, past the library's links;
#   - the layer rules written in ARCHITECTURE.md are the link graph of the CMake files;
#   - every folder of src/ has a row in ARCHITECTURE.md's and README.md's folder tables, and
#     every path those tables name exists.
# Prints every finding and exits 1 if there is one.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
src=${1:-$top/src}
exec python3 - "$(cd "$src/.." && pwd)" <<'PY'
import os, re, sys

top = sys.argv[1]
src = os.path.join(top, "src")
findings = []

# Targets that are not made by szsfx_unit, and the folder whose sources they build.
OTHER_TARGETS = {
    "szsfx_payload_writer": "payload",
    "szsfx_stub_objects": "app",
    "szsfx_interface_headers": "interface",
    "szlib${suffix}": "library",
}


def cmake_calls(path, command):
    text = re.sub(r"#[^\n]*", "", open(path).read())
    for match in re.finditer(r"\b" + command + r"\(([^()]*)\)", text):
        yield match.group(1).split()


def link_graph():
    """Folder -> the folders its libraries link, from the CMake files."""
    files = [os.path.join(top, "CMakeLists.txt"), os.path.join(src, "library", "CMakeLists.txt")]
    folder_of = dict(OTHER_TARGETS)
    links = []
    for path in files:
        for args in cmake_calls(path, "szsfx_unit"):
            folder_of[args[0]] = args[1]
            if "DEPENDS" in args:
                links.append((args[0], args[args.index("DEPENDS") + 1:]))
        for args in cmake_calls(path, "target_link_libraries"):
            links.append((args[0], [a for a in args[1:] if a not in ("PUBLIC", "PRIVATE", "INTERFACE")]))
    graph = {folder: set() for folder in folder_of.values()}
    for target, deps in links:
        if target not in folder_of:
            continue  # programs and tests: not a layer
        folder = folder_of[target]
        graph[folder] |= {folder_of[d] for d in deps if d in folder_of} - {folder}
    return graph


def written_rules():
    """Folder -> folders, from the rules block of ARCHITECTURE.md's "Layers"."""
    text = open(os.path.join(top, "ARCHITECTURE.md")).read()
    block = re.search(r"<!-- layer rules -->\n```\n(.*?)```", text, re.S)
    if not block:
        findings.append("ARCHITECTURE.md: no layer rules block (<!-- layer rules --> and a fenced block)")
        return {}
    rules = {}
    for line in block.group(1).splitlines():
        folder, _, deps = line.partition("->")
        rules[folder.strip()] = set(deps.replace("(nothing of ours)", "").split())
    return rules


def check_rules():
    graph, rules = link_graph(), written_rules()
    for folder in sorted(set(graph) | set(rules)):
        if graph.get(folder) != rules.get(folder):
            findings.append(f"ARCHITECTURE.md: {folder} -> {' '.join(sorted(rules.get(folder, []))) or '?'}, "
                            f"but the CMake files link {folder} -> {' '.join(sorted(graph.get(folder, []))) or '?'}")


def check_includes():
    ours = {name for _, _, names in os.walk(src) for name in names}
    for folder, _, names in os.walk(src):
        for name in sorted(names):
            if not name.endswith((".c", ".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            for number, line in enumerate(open(path, errors="replace"), 1):
                match = re.match(r'#include "([^"]+)"', line)
                if not match:
                    continue
                header = match.group(1)
                where = f"{os.path.relpath(path, top)}:{number}"
                if ".." in header.split("/"):
                    findings.append(f"{where}: include through '..': {header}")
                elif "/" not in header and header in ours:
                    findings.append(f"{where}: one of our headers without its folder: {header}")


def table_paths(document, heading):
    """The paths named in the first column of the table under `heading`."""
    text = open(os.path.join(top, document)).read()
    section = text.split(heading + "\n", 1)
    if len(section) < 2:
        findings.append(f"{document}: no section {heading}")
        return []
    rows = re.findall(r"^\| ([^|]*) \|", section[1].split("\n## ", 1)[0], re.M)
    return [path for row in rows for path in re.findall(r"`([^`]+)`", row)]


def check_tables():
    folders = {f"src/{name}/" for name in os.listdir(src) if os.path.isdir(os.path.join(src, name))}
    for document, heading in (("ARCHITECTURE.md", "## Layers"), ("README.md", "## Layout")):
        paths = table_paths(document, heading)
        for folder in sorted(folders - set(paths)):
            findings.append(f"{document}: the folder table has no row for {folder}")
        for path in paths:
            if not os.path.exists(os.path.join(top, path)):
                findings.append(f"{document}: the folder table names {path}, which does not exist")


check_rules()
check_includes()
check_tables()
for finding in findings:
    print(finding)
sys.exit(1 if findings else 0)
PY
