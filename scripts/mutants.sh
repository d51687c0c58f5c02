#!/usr/bin/env bash
# The mutation score: applies each plausible one-line fault of scripts/mutants.txt to the system
# layer, one at a time, builds, and runs (1) the suite without the random runs and (2) the random
# whole-device runs of a fixed set of seeds with the invariant checker, then prints which test or
# invariant caught each mutant and the kill rates. The tree is restored after each mutant and on
# any exit (interrupts and failures too). Builds in build-mutants/, so build/ is left alone.
#   ./scripts/mutants.sh                      # every mutant; random seeds 1..20, two days each
#   ./scripts/mutants.sh --seeds 20 --days 1  # fewer random runs
#   ./scripts/mutants.sh --only repeat-limit  # one mutant
# Takes a while (a build per mutant, some rebuild most files): run it under nice.
set -euo pipefail
cd "$(dirname "$0")/.."

seeds=20
days=2
only=""
while [ $# -gt 0 ]; do
  case $1 in
    --seeds) seeds=$2; shift 2 ;;
    --days) days=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    *) echo "mutants.sh: unknown option $1 (--seeds N, --days D, --only NAME)" >&2; exit 2 ;;
  esac
done

build=build-mutants
table=scripts/mutants.txt
work=$(mktemp -d)
mutated=""  # the file under mutation, restored from $work/original

restore() {
  if [ -n "$mutated" ]; then
    cp "$work/original" "$mutated"
    mutated=""
  fi
}
trap 'restore; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# Replaces the one exact occurrence of OLD by NEW in FILE ("\n" is a line break); status 3 when
# OLD does not occur exactly once (the table no longer matches the code).
apply() {  # file old new
  python3 - "$1" "$2" "$3" <<'EOF'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace("\\n", "\n"), sys.argv[3].replace("\\n", "\n")
text = open(path).read()
if text.count(old) != 1:
    sys.exit(3)
open(path, "w").write(text.replace(old, new))
EOF
}

build_all() {
  cmake --build "$build" -j2 --target qv_tests quorvel-sim >"$work/build.log" 2>&1
}

# The suite without the random runs, up to its first failure: prints the failing test, or nothing.
suite() {
  timeout 900 "./$build/qv_tests" --gtest_brief=1 --gtest_fail_fast --gtest_filter='-*RandomRuns*' \
    >"$work/suite.log" 2>&1 || true
  grep -oE '^\[  FAILED  \] [A-Za-z0-9_/.]+' "$work/suite.log" | awk '{print $4}' | sort -u
}

# The random runs alone: prints "seed N: violation" for the first seed that breaks an invariant.
random_runs() {
  for seed in $(seq 1 "$seeds"); do
    if ! timeout 300 "./$build/quorvel-sim" --random --seed "$seed" --days "$days" --check --quiet --no-summary \
      >/dev/null 2>"$work/seed.err"; then
      echo "seed $seed: $(grep -m1 -E 'invariant broken|error|Assertion' "$work/seed.err" || head -c 200 "$work/seed.err")"
      return
    fi
  done
}

CMAKE_CXX_COMPILER_LAUNCHER=ccache cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQV_BUILD_BENCH=OFF >/dev/null
echo "mutants.sh: building the unmutated tree in $build/"
build_all || { echo "mutants.sh: the unmutated tree does not build (see $build)" >&2; exit 1; }
if [ -n "$(suite)" ] || [ -n "$(random_runs)" ]; then
  echo "mutants.sh: the unmutated tree already fails its suite or its random runs; nothing to measure" >&2
  exit 1
fi

total=0 suite_kills=0 random_kills=0 stale=0
printf '| Mutant | Fault | Caught by the suite | Caught by the random runs (seeds 1-%s, %s days) |\n' "$seeds" "$days"
printf '|---|---|---|---|\n'
fault=""
while IFS= read -r line; do
  case $line in
    "# "*) fault=${line#\# }; continue ;;
    ""|"#"*) continue ;;
  esac
  name=${line%% ::: *}; rest=${line#* ::: }
  file=${rest%% ::: *}; rest=${rest#* ::: }
  old=${rest%% ::: *}; new=${rest#* ::: }
  [ -z "$only" ] || [ "$only" = "$name" ] || continue
  cp "$file" "$work/original"
  mutated=$file
  if ! apply "$file" "$old" "$new"; then
    restore
    stale=$((stale + 1))
    printf '| %s | %s | (not applied: its text no longer occurs once in %s) | |\n' "$name" "$fault" "$file"
    continue
  fi
  total=$((total + 1))
  if ! build_all; then
    restore
    printf '| %s | %s | (does not compile) | |\n' "$name" "$fault"
    total=$((total - 1))
    continue
  fi
  failed=$(suite)
  caught=$(random_runs)
  restore
  if [ -n "$failed" ]; then
    suite_kills=$((suite_kills + 1))
    suite_text="$failed (the first to fail)"
  else
    suite_text="**survived**"
  fi
  if [ -n "$caught" ]; then
    random_kills=$((random_kills + 1))
    random_text=$caught
  else
    random_text="**survived**"
  fi
  printf '| %s | %s | %s | %s |\n' "$name" "$fault" "$suite_text" "$random_text"
done <"$table"

echo
echo "mutants.sh: $total mutants; the suite caught $suite_kills ($((total ? 100 * suite_kills / total : 0))%)," \
  "the random runs alone $random_kills ($((total ? 100 * random_kills / total : 0))%)$([ $stale -gt 0 ] && echo "; $stale not applied")"
# Rebuild the unmutated tree so build-mutants/ ends as the source is.
build_all || true
