#!/usr/bin/env python3
"""Fails when a source file reaches a folder it must not: every dependency points down the table
below. A reach is a quoted include of another folder ("alerts/banner.h") or, in the system's
folders, opening a higher folder's namespace (a forward declaration of its functions is a
dependency as real as an include). Run by CTest (Layering.EveryIncludePointsDown) and by hand:
    python3 scripts/check-layering.py [repository root]
Prints each wrong reach as file:line, and exits 1 when there is any."""

import pathlib
import re
import sys

# Bottom to top. A folder may reach its own folder and every folder before it, and nothing else.
# The system's own folders come in the order their rules build on each other; assembly/ wires
# them together (the hook table, the start-up); the simulator sits on the whole system.
LAYERS = [
    ["platform"],
    ["core"],
    ["alerts"],
    ["indicators"],
    ["intake"],
    ["appsignals"],
    ["assembly"],
    ["sim"],
    ["cli"],
]
SYSTEM = {"core", "alerts", "indicators", "intake", "appsignals", "assembly"}
SOURCE_SUFFIXES = {".h", ".cc"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')
NAMESPACE = re.compile(r"^\s*namespace\s+qv::([a-z_]+)\b")


def rank_of():
    ranks = {}
    for rank, layer in enumerate(LAYERS):
        for folder in layer:
            ranks[folder] = rank
    return ranks


def wrong_reaches(root):
    ranks = rank_of()
    for folder, rank in ranks.items():
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES:
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                reach = None
                if m := INCLUDE.match(line):
                    reach = m.group(1)
                elif folder in SYSTEM and (m := NAMESPACE.match(line)) and m.group(1) in SYSTEM:
                    reach = m.group(1)
                if reach is None or reach not in ranks:
                    continue
                if ranks[reach] > rank:
                    where = path.relative_to(root)
                    yield f"{where}:{number}: {folder}/ reaches {reach}/, which sits above it: {line.strip()}"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    missing = [folder for layer in LAYERS for folder in layer if not (root / folder).is_dir()]
    if missing:
        print(f"check-layering: no folder {', '.join(missing)} under {root}", file=sys.stderr)
        return 2
    wrong = list(wrong_reaches(root))
    for line in wrong:
        print(line)
    if wrong:
        print(f"check-layering: {len(wrong)} reach(es) against the direction of the layers", file=sys.stderr)
        return 1
    print("check-layering: every include between folders points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
