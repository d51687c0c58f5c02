#!/usr/bin/env bash
# Regenerates the documents made from the simulator's own tables: docs/events.md and
# docs/events.schema.json (from sim/event_reference.cc) and docs/settings.md (from
# core/settings_keys.h; tests/sim fails while they differ), and
# the example reports README links (docs/reports/: each example's HTML report with its matrix,
# and the matrix as text) with the screenshots of docs/images/, which the browser test takes in
# headless Chromium (scripts/setup.sh --test installs it).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target quorvel-sim >/dev/null
./build/quorvel-sim --list-kinds --markdown > docs/events.md
./build/quorvel-sim --json-schema > docs/events.schema.json
./build/quorvel-sim --list-settings --markdown > docs/settings.md
mkdir -p docs/reports docs/images
for name in across-releases auto-lock-repost ipad-listed-app quiet-hours; do
  ./build/quorvel-sim --matrix --explain --html "docs/reports/$name.html" "examples/$name.json" \
    > "docs/reports/$name.matrix.txt"
done
/usr/bin/python3 tests/browser/report_browser_test.py ./build/quorvel-sim . build/browser-test --screenshots docs/images
git status --short docs/
