#!/usr/bin/env bash
# Runs each libFuzzer target of a KLIK_FUZZ build for a number of seconds,
# from its seed corpus, and prints for each the executions, the time it ran
# and the executions per second. A crash input lands in
# $build/crash-<target>-*; the run goes on with the next target and the
# script fails at the end.
set -uo pipefail
build="${1:-build-fuzz}"; seconds="${2:-60}"
src="$(cd "$(dirname "$0")/.." && pwd)/tests/fuzz/corpus"
export KLIK_ROOT="${KLIK_ROOT:-$(mktemp -d)}"
status=0
for bin in "$build"/tests/fuzz/fuzz_*; do
    [ -x "$bin" ] || continue
    name="${bin##*/fuzz_}"
    work="$build/corpus-$name"
    mkdir -p "$work"
    log="$build/fuzz-$name.log"
    start=$(date +%s.%N)
    "$bin" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=4096 \
        -artifact_prefix="$build/crash-$name-" "$work" "$src/$name" >"$log" 2>&1
    rc=$?
    ran=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }')
    runs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
    runs=${runs:-0}
    rate=$(awk -v r="$runs" -v t="$ran" 'BEGIN { printf "%.0f", (t > 0 ? r / t : 0) }')
    line="fuzz $name: $runs executions in $ran s ($rate per second)"
    if [ $rc -ne 0 ]; then
        status=1
        line="$line, FAILED (exit $rc): see $log"
    fi
    echo "$line"
done
exit $status
