#!/usr/bin/env bash
# Runs one stage of `make test` (or `make demo`) and notes its wall time in
# $KLIK_STAGE_LOG (default stage-times.txt), so where the run's time goes
# is read from one file: `stage.sh NAME COMMAND...`. The command's status
# is the stage's.
set -uo pipefail
name="$1"; shift
log="${KLIK_STAGE_LOG:-stage-times.txt}"
start=$(date +%s)
"$@"
status=$?
took=$(( $(date +%s) - start ))
printf '%-14s %5d s%s\n' "$name" "$took" "$([ $status -ne 0 ] && echo "  (failed, status $status)")" >> "$log"
echo "stage $name: $took s" >&2
exit $status
