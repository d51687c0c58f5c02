#!/usr/bin/env bash
# Builds everything and runs the whole test suite (CTest + GoogleTest).
# Installs missing Debian packages first, so it works on a fresh Debian 12 machine as root.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2
