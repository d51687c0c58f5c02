#!/usr/bin/env bash
# Runs the libFuzzer targets (fuzz/*_fuzz.cc) from their seed corpora (fuzz/corpus/<target without _fuzz>/),
# two at a time (two cores). The seed corpora are read, never changed: what a run finds goes to
# a work folder, and crash inputs to fuzz/findings/<target>/ with the command that replays them.
#   ./scripts/fuzz.sh                               # CI: every target, a minute of fuzzing after the seeds
#   ./scripts/fuzz.sh --seconds 3600                # an hour in all
#   ./scripts/fuzz.sh --target settings_file_fuzz --seconds 28800 --keep   # a long run of one
#   ./scripts/fuzz.sh --target tzif_fuzz --cpu-seconds 3600 --keep   # one CPU-hour, however long it takes
# --cpu-seconds gives each target that much CPU time (user + system) instead of a share of wall-clock
# time, so a campaign on a busy machine still gets its full budget; the target is stopped with SIGINT,
# which makes libFuzzer print its final statistics and exit with status 72.
# --keep merges what the run found (new coverage only) back into fuzz/corpus/<target without _fuzz>/.
# Builds build-asan (clang 14, ASan + UBSan + libFuzzer) first when it holds no fuzzers.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-asan
total=60
only=""
keep=0
cpu=0
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --seconds) total=$2; shift 2 ;;
    --target) only=$2; shift 2 ;;
    --cpu-seconds) cpu=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

[[ $cpu =~ ^[0-9]+$ ]] || { echo "fuzz.sh: --cpu-seconds wants a whole number of seconds, not $cpu" >&2; exit 2; }
[[ $total =~ ^[0-9]+$ ]] || { echo "fuzz.sh: --seconds wants a whole number of seconds, not $total" >&2; exit 2; }

targets=()
for src in fuzz/*_fuzz.cc; do
  name=$(basename "$src" .cc)
  [ -z "$only" ] || [ "$name" = "$only" ] || continue
  targets+=("$name")
done
[ ${#targets[@]} -gt 0 ] || { echo "fuzz.sh: no target named $only" >&2; exit 2; }

if [ ! -x "$build/${targets[0]}" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" -DQV_SANITIZE=address -DQV_BUILD_FUZZ=ON \
    -DQV_BUILD_BENCH=OFF -DCMAKE_UNITY_BUILD=ON >/dev/null
  cmake --build "$build" -j2 --target "${targets[@]}"
fi

# Two run side by side, so each gets twice its share of the wall-clock budget.
per=$(( total * 2 / ${#targets[@]} ))
[ "$per" -ge 2 ] || per=2
# A short run is mostly the replay of the seed corpus, which libFuzzer does before its budget
# counts. Its entropic schedule keeps a frequency per feature and input, which makes that replay
# grow with the square of the corpus: the notification corpus (2,274 inputs) took 118 s with it and
# 36 s without. Long runs keep the schedule, which is what finds deep inputs.
schedule=""
if [ "$cpu" -eq 0 ] && [ "$per" -lt 300 ]; then
  schedule="-entropic=0"
  echo "fuzz.sh: a short run (${per}s a target): libFuzzer's entropic schedule is off, so the seeds replay quickly"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ticks=$(getconf CLK_TCK)
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_one() {
  local name=$1 corpus=$work/$1
  mkdir -p "$corpus" "fuzz/findings/$name"
  local seeds=fuzz/corpus/${name%_fuzz}
  [ -d "$seeds" ] || seeds=""
  local dict=""
  [ -f "fuzz/dict/$name.dict" ] && dict="-dict=fuzz/dict/$name.dict"
  # -timeout: one input taking 10 s is a hang; -rss_limit_mb: the deep-nesting seeds must not
  # need more than this.
  local budget="-max_total_time=$per" spent="" started=$SECONDS
  [ "$cpu" -eq 0 ] || budget="-max_total_time=0"
  "$build/$name" $budget $schedule -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 $dict \
    -artifact_prefix="fuzz/findings/$name/" "$corpus" $seeds >"$work/$name.log" 2>&1 &
  local pid=$! status=0
  if [ "$cpu" -gt 0 ]; then
    # utime and stime are the 14th and 15th fields of /proc/<pid>/stat, in clock ticks.
    while kill -0 "$pid" 2>/dev/null; do
      local used=0
      used=$(awk -v t="$ticks" '{sub(/^.*\) /, ""); print int(($12 + $13) / t)}' "/proc/$pid/stat" 2>/dev/null || echo 0)
      # What it had used at the last look (an interrupt from outside ends it early).
      [ "$used" -eq 0 ] || spent="${used}s of CPU"
      if [ "$used" -ge "$cpu" ]; then kill -INT "$pid"; break; fi
      sleep 5
    done
  fi
  wait "$pid" || status=$?
  # The budget starts after the seeds are replayed, so the time taken is measured, not assumed.
  [ -n "$spent" ] || spent="$((SECONDS - started))s"
  # 72: libFuzzer's exit status when it was stopped by SIGINT (the CPU budget above).
  if [ $status -eq 0 ] || { [ "$cpu" -gt 0 ] && [ $status -eq 72 ]; }; then
    local runs cov
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$work/$name.log" | grep -oE '[0-9]+$' || echo "?")
    # The coverage libFuzzer reached: edges (cov) and features (ft) of its last status line.
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$work/$name.log" | tail -n 1 || true)
    printf 'fuzz.sh: %-24s ok  %8s runs in %s, %s, corpus %s\n' "$name" "$runs" "$spent" "${cov:-cov: ?}" \
      "$(ls "$corpus" | wc -l)"
    if [ $keep -eq 1 ] && [ -n "$seeds" ]; then
      "$build/$name" -merge=1 "$seeds" "$corpus" >>"$work/$name.log" 2>&1
    fi
    rmdir "fuzz/findings/$name" 2>/dev/null || true
  else
    echo "fuzz.sh: $name FAILED; its log:" >&2
    tail -n 60 "$work/$name.log" >&2
    echo "fuzz.sh: replay with: $build/$name fuzz/findings/$name/<crash file>" >&2
    return 1
  fi
}

failed=0
pids=()
for name in "${targets[@]}"; do
  run_one "$name" &
  pids+=($!)
  if [ ${#pids[@]} -eq 2 ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[1]}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
rmdir fuzz/findings 2>/dev/null || true
if [ $failed -ne 0 ]; then
  echo "fuzz.sh: a fuzzer found a fault (inputs under fuzz/findings/)" >&2
  exit 1
fi
echo "fuzz.sh: ${#targets[@]} fuzzers ran clean"
