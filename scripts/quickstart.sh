#!/usr/bin/env bash
# Installs what is missing, builds, and plays the simulator's built-in default scenario.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target quorvel-sim
./build/quorvel-sim "$@"
