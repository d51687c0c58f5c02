#!/usr/bin/env bash
# Builds and runs every check CI runs, stage by stage; the first failing stage stops the run with
# a message naming it and a non-zero status. Installs missing Debian packages first (the build's
# and the tests': `scripts/setup.sh --test` adds headless Chromium for the HTML report's browser
# test), so it works on a fresh Debian 12 machine as root.
#   ./scripts/test.sh                 # every stage: tests asan fuzz tsan
#   ./scripts/test.sh tests           # the whole suite, normal build (g++) only
#   ./scripts/test.sh asan fuzz       # ... or any stages, in the order given
# Stages:
#   tests  g++, RelWithDebInfo (-g1), everything built (benchmarks too), the whole suite through CTest
#          (the HTML report in headless Chromium among it)
#   asan   clang 14, AddressSanitizer + UndefinedBehaviorSanitizer at -O1, unity build: the whole
#          suite, the fixed random-run seeds among it (this build also makes the fuzzers)
#   fuzz   a short bounded run of every fuzzer from its seed corpus (scripts/fuzz.sh), ~1.5 minutes
#   tsan   clang 14, ThreadSanitizer, unity build: the concurrency tests (*Concurrency*, *RealThreads*)
# All builds use -Wall -Wextra -Werror. Build folders: build/, build-asan/, build-tsan/.
set -euo pipefail
cd "$(dirname "$0")/.."

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(tests asan fuzz tsan)
stage=setup
started=$SECONDS
trap 'rc=$?; if [ $rc -ne 0 ]; then echo "test.sh: FAILED in stage \"$stage\" (exit status $rc)" >&2; fi' EXIT

say() { printf '\n=== %s (%ds so far)\n' "$*" $((SECONDS - started)); }

./scripts/setup.sh --test

# Sanitizer builds: clang for the fuzzers' runtime, -O1 for speed, line tables for reports, and
# unity builds (eight source files to a unit; it takes about 40% off the build). The tests stage's
# build keeps one unit per library source file, so that each of those still compiles on its own.
sanitizer_build() {  # folder, sanitizer, extra cmake arguments...
  local dir=$1 sanitizer=$2
  shift 2
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" -DQV_SANITIZE="$sanitizer" -DQV_BUILD_BENCH=OFF \
    -DCMAKE_UNITY_BUILD=ON "$@" >/dev/null
}

# Runs a gtest binary in two shards side by side (two cores); fails when either fails or when
# the filter matched no test at all.
run_sharded() {  # binary, gtest filter
  local binary=$1 filter=$2 log status=0
  log=$(mktemp -d)
  for shard in 0 1; do
    GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=$shard "$binary" --gtest_filter="$filter" --gtest_brief=1 \
      >"$log/$shard.txt" 2>&1 &
  done
  for job in $(jobs -p); do wait "$job" || status=1; done
  cat "$log/0.txt" "$log/1.txt"
  local ran
  ran=$(grep -hoE '^\[==========\] [0-9]+ tests? from' "$log"/*.txt | awk '{s += $2} END {print s + 0}')
  rm -rf "$log"
  if [ "$ran" -eq 0 ]; then
    echo "test.sh: no test matched \"$filter\"" >&2
    return 1
  fi
  echo "test.sh: $ran tests ran in $binary"
  return $status
}

for stage in "${stages[@]}"; do
  case $stage in
    tests)
      say "tests: g++ build and the whole suite"
      cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
      cmake --build build -j2
      ctest --test-dir build --output-on-failure -j2
      ;;
    asan)
      say "asan: ASan + UBSan build (clang 14) and the whole suite"
      sanitizer_build build-asan address -DQV_BUILD_FUZZ=ON
      cmake --build build-asan -j2
      # qv_tests carries its own leak suppressions (tests/platform/lsan_suppressions.cc).
      ASAN_OPTIONS=detect_leaks=1:strict_init_order=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        run_sharded ./build-asan/qv_tests '*'
      ;;
    fuzz)
      say "fuzz: short bounded runs of every fuzzer"
      [ -d build-asan ] || { sanitizer_build build-asan address -DQV_BUILD_FUZZ=ON; }
      cmake --build build-asan -j2
      ./scripts/fuzz.sh --build build-asan --seconds "${QV_FUZZ_SECONDS:-60}"
      ;;
    tsan)
      say "tsan: ThreadSanitizer build (clang 14) and the concurrency tests"
      # Only the files that hold concurrency tests are compiled into this build's qv_tests.
      mapfile -t files < <(grep -rlE '^TEST(_F|_P)?\(\w*(Concurrency|RealThreads)' tests | sort)
      [ ${#files[@]} -gt 0 ] || { echo "test.sh: no concurrency tests found under tests/" >&2; exit 1; }
      sanitizer_build build-tsan thread -DQV_TEST_SOURCES="$(IFS=';'; echo "${files[*]}")"
      cmake --build build-tsan -j2 --target qv_tests
      TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
        run_sharded ./build-tsan/qv_tests '*Concurrency*:*RealThreads*'
      ;;
    *)
      echo "test.sh: unknown stage \"$stage\" (stages: tests asan fuzz tsan)" >&2
      exit 2
      ;;
  esac
done
stage=done
say "all stages passed: ${stages[*]}"
