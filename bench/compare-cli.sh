#!/usr/bin/env bash
# Times two quorvel-sim builds side by side on the month of bench/sim_bench.cc, as scenario files
# (iOS 9.3 and 10.3), in one run: the builds take turns, so machine load falls on both alike.
# Prints CPU seconds (user + system) per build and mode: the fastest and the median of N runs.
#   bench/compare-cli.sh /work/wt/14-base/build/quorvel-sim ./build/quorvel-sim [runs] [modes...]
#   (modes: an argument before the scenario, e.g. --json; default: --json, then the text story)
set -euo pipefail
base=$1 new=$2 runs=${3:-5}
shift $(( $# < 3 ? $# : 3 ))
modes=("$@")
[ ${#modes[@]} -gt 0 ] || modes=(--json "")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
for release in 9.3 10.3; do python3 "$(dirname "$0")/month-scenario.py" "$release" > "$dir/month-$release.json"; done
for release in 9.3 10.3; do
  for mode in "${modes[@]}"; do
    for ((i = 0; i < runs; i++)); do
      for build in base new; do
        binary=${!build}
        /usr/bin/time -f "%U %S" -o "$dir/t" "$binary" $mode "$dir/month-$release.json" > /dev/null
        awk -v b="$build" '{print $1 + $2}' "$dir/t" >> "$dir/$release$mode-$build"
      done
    done
    for build in base new; do
      sort -n "$dir/$release$mode-$build" |
        awk -v l="iOS $release $mode $build" '{a[NR] = $1} END {printf "%-28s fastest %.2f s, median %.2f s\n", l, a[1], a[int((NR + 1) / 2)]}'
    done
  done
done
