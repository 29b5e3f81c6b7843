#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, starting from the
# seed corpus in the repository. A crash fails the run; its input is left in
# BUILD/artifacts/, and belongs in tests/fuzz/regressions/<name>/ once fixed,
# where the ordinary test run replays it.
#   scripts/run-fuzz.sh BUILD SECONDS
set -euo pipefail
build=$1
seconds=${2:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$build/artifacts"
status=0
for target in "$build"/tests/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  work="$build/corpus/$name"
  mkdir -p "$work"
  seeds=("$root/tests/fuzz/corpus/$name")
  [ -d "$root/tests/fuzz/regressions/$name" ] && seeds+=("$root/tests/fuzz/regressions/$name")
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$name-" "$work" "${seeds[@]}" 2>"$build/fuzz-$name.log"; then
    echo "fuzz: $name FAILED; see $build/fuzz-$name.log and $build/artifacts/"
    tail -n 40 "$build/fuzz-$name.log"
    status=1
  else
    grep -E 'stat::number_of_executed_units' "$build/fuzz-$name.log" || true
  fi
done
exit $status
