#!/usr/bin/env bash
# Runs the tests of one build folder with ctest, inside a private D-Bus
# session bus when dbus-daemon is installed. Extra arguments go to ctest
# (e.g. -L core).
set -euo pipefail
build="${1:-build}"; shift || true
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# The print tests start a spooler of their own (tests/ui/print/PrivateCupsd):
# nothing of the system's CUPS is used or changed.
# Most of the suite's time is waiting (the kiosk's timers, private servers
# starting, cameras answering), not CPU: three tests a core keep the cores
# busy. KLIK_TEST_JOBS sets another number.
jobs="${KLIK_TEST_JOBS:-$(( 3 * $(nproc) ))}"
cmd=(ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 120 "$@")
if command -v dbus-run-session >/dev/null 2>&1; then
    exec dbus-run-session -- "${cmd[@]}"
fi
exec "${cmd[@]}"
