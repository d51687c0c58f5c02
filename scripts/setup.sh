#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the fuzzers need.
# Safe to run again: apt-get skips what is already installed. Run as root on Debian 12.
#   ./scripts/setup.sh          # what building and playing scenarios need (the quick start)
#   ./scripts/setup.sh --test   # ... and what only the tests need: a headless browser for the
#                               # HTML report's browser test (scripts/test.sh asks for it)
set -euo pipefail
case "${1:-}" in
  "") test_packages=() ;;
  --test) test_packages=(chromium chromium-driver python3-selenium fonts-dejavu-core) ;;
  *) echo "setup.sh: unknown argument \"$1\" (none, or --test)" >&2; exit 2 ;;
esac
packages=(
  build-essential cmake ninja-build pkg-config
  libplist-dev libplist++-dev libplist-utils
  nlohmann-json3-dev libcli11-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang-14 libclang-rt-14-dev
  libobjc-12-dev
  libmimalloc-dev
  tzdata
  python3 python3-jsonschema jq
  "${test_packages[@]}"
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
