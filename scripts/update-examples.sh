#!/usr/bin/env bash
# Regenerates each example's expected timeline (examples/NAME.expected.txt) from the current
# build. Read every changed file against the written behaviour before committing it: the
# examples document what the product does.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target quorvel-sim >/dev/null
for scenario in examples/*.json; do
  expected="${scenario%.json}.expected.txt"
  ./build/quorvel-sim --explain "$scenario" > "$expected"
done
git status --short examples/
