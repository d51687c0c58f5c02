#!/usr/bin/env bash
# Plays N random whole-device scenarios (seeds FIRST .. FIRST+N-1) of DAYS simulated days each
# with the invariant checker, two processes at a time (two cores), and lists every seed that broke
# an invariant with its replay command. Exit status 1 when any seed failed.
#   ./scripts/random-runs.sh 2000 2          # seeds 1..2000, two days each
#   ./scripts/random-runs.sh 500 7 10001     # seeds 10001..10500, a week each
# Each process plays a batch of seeds (`quorvel-sim --seeds`), each on a new device, which spares
# a process start per seed. A batch that dies without a verdict (a crash) is played again one seed
# per process, so the seed that crashed is named too.
# Uses ./build/quorvel-sim (built first when missing); QV_SIM=path picks another binary,
# QV_BATCH=n the seeds per process (default: up to 100, at least two batches per core).
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:-1000}
days=${2:-1}
first=${3:-1}
sim=${QV_SIM:-./build/quorvel-sim}
for n in "$count" "$first"; do
  [[ "$n" =~ ^[0-9]+$ ]] || { echo "random-runs: counts and seeds are whole numbers, got \"$n\"" >&2; exit 2; }
done
[ "$count" -ge 1 ] || { echo "random-runs: no seeds to play (count 0)" >&2; exit 2; }
batch=${QV_BATCH:-$(( (count + 3) / 4 < 100 ? (count + 3) / 4 : 100 ))}
[[ "$batch" =~ ^[1-9][0-9]*$ ]] || { echo "random-runs: QV_BATCH must be a whole number above 0, got \"$batch\"" >&2; exit 2; }
if [ ! -x "$sim" ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j2 --target quorvel-sim
fi
# A bad --days is refused here, once, rather than by every batch.
"$sim" --random --days "$days" --dump-scenario >/dev/null

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export sim days out

# One batch: seeds $1 .. $1+$2-1. Leaves $out/<first>.err when a seed broke an invariant, and
# $out/<seed>.lone for each seed that failed when played alone after the batch died.
play_batch() {
  local start=$1 size=$2 status=0
  "$sim" --random --seed "$start" --seeds "$size" --days "$days" --check --quiet --no-summary \
    >/dev/null 2>"$out/$start.err" || status=$?
  case $status in
    0) rm -f "$out/$start.err" ;;
    1) ;;  # the broken seeds are named in the .err file, with their replay commands
    *)
      rm -f "$out/$start.err"
      for ((seed = start; seed < start + size; seed++)); do
        status=0
        "$sim" --random --seed "$seed" --days "$days" --check --quiet --no-summary \
          >/dev/null 2>"$out/$seed.lone" || status=$?
        if [ "$status" -eq 0 ]; then
          rm -f "$out/$seed.lone"
        elif ! grep -q '^replay: ' "$out/$seed.lone"; then
          printf 'quorvel-sim died (exit status %s)\nreplay: %s --random --seed %s --days %s --check\n' \
            "$status" "$sim" "$seed" "$days" >>"$out/$seed.lone"
        fi
      done
      ;;
  esac
}
export -f play_batch

started=$SECONDS
for ((start = first; start < first + count; start += batch)); do
  echo "$start $(( first + count - start < batch ? first + count - start : batch ))"
done | xargs -P 2 -L 1 bash -c 'play_batch "$@"' _

failed=0
for report in $(ls "$out" | sort -n); do
  failed=$((failed + $(grep -c '^replay: ' "$out/$report" || true)))
  sed 's/^/  /' "$out/$report"
done
echo "random-runs: $count seeds x $days day(s) from seed $first: $((count - failed)) passed, $failed failed" \
  "($((SECONDS - started)) s)"
[ "$failed" -eq 0 ]
