#!/usr/bin/env bash
# Plays N random whole-device scenarios (seeds FIRST .. FIRST+N-1) of DAYS simulated days each
# with the invariant checker, two at a time (two cores), and lists every seed that broke an
# invariant with its replay command. Exit status 1 when any seed failed.
#   ./scripts/random-runs.sh 2000 2          # seeds 1..2000, two days each
#   ./scripts/random-runs.sh 500 7 10001     # seeds 10001..10500, a week each
# Uses ./build/quorvel-sim (built first when missing); QV_SIM=path picks another binary.
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-1000}
days=${2:-1}
first=${3:-1}
sim=${QV_SIM:-./build/quorvel-sim}
if [ ! -x "$sim" ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j2 --target quorvel-sim
fi

out=$(mktemp -d)
started=$SECONDS
seq "$first" $((first + count - 1)) | xargs -P 2 -I{} sh -c \
  "'$sim' --random --seed {} --days $days --check --quiet --no-summary >/dev/null 2>'$out/{}.err' || echo {} >>'$out/failed'"

failed=0
if [ -f "$out/failed" ]; then
  failed=$(wc -l <"$out/failed")
  for seed in $(sort -n "$out/failed"); do
    echo "seed $seed:"
    sed 's/^/  /' "$out/$seed.err"
  done
fi
echo "random-runs: $count seeds x $days day(s) from seed $first: $((count - failed)) passed, $failed failed" \
  "($((SECONDS - started)) s)"
rm -rf "$out"
[ "$failed" -eq 0 ]
