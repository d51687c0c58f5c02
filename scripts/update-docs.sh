#!/usr/bin/env bash
# Regenerates the documents made from the simulator's own tables: docs/events.md and
# docs/events.schema.json (from sim/event_reference.cc). tests/sim fails while they differ.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build --target quorvel-sim >/dev/null
./build/quorvel-sim --list-kinds --markdown > docs/events.md
./build/quorvel-sim --json-schema > docs/events.schema.json
git status --short docs/
