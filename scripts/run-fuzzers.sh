#!/usr/bin/env bash
# Runs each libFuzzer target of a KLIK_FUZZ build for a number of seconds,
# from its seed corpus, and prints executions per second for each.
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
    "$bin" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=4096 \
        -artifact_prefix="$build/crash-$name-" "$work" "$src/$name" >"$log" 2>&1 || status=1
    runs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "fuzz $name: ${runs:-0} executions in ${seconds} s ($(( ${runs:-0} / seconds )) per second)$( [ $status -ne 0 ] && echo ', FAILED: see '"$log")"
done
exit $status
