#!/usr/bin/env python3
"""Fails when a row of scripts/mutants.txt no longer matches the code it mutates: its text must
occur exactly once in its file, or scripts/mutants.sh skips the mutant and the mutation score
quietly loses it. Run by CTest (Mutants.EveryRowMatchesItsCode) and by hand:
    python3 scripts/check-mutants.py [repository root]
Prints each stale row as name: file (occurrences), and exits 1 when there is any."""

import pathlib
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
stale = 0
rows = 0
for number, line in enumerate((root / "scripts/mutants.txt").read_text().splitlines(), 1):
    if not line or line.startswith("#"):
        continue
    fields = line.split(" ::: ")
    if len(fields) != 4:
        print(f"mutants.txt:{number}: {len(fields)} fields, not 4 (name ::: file ::: text ::: replacement)")
        stale += 1
        continue
    name, path, old, _ = fields
    rows += 1
    source = root / path
    count = source.read_text().count(old.replace("\\n", "\n")) if source.is_file() else 0
    if count != 1:
        print(f"{name}: {path} ({'missing' if not source.is_file() else f'{count} occurrences'})")
        stale += 1
print(f"check-mutants: {rows} mutants, {stale} stale")
sys.exit(1 if stale else 0)
