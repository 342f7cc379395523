#!/usr/bin/env bash
# The tests again under a sanitizer, each in a build folder of its own
# (Debug: no optimisation, so the reports point at the exact line):
#
#   scripts/sanitizer-tests.sh address BUILD   (make test-asan)
#   scripts/sanitizer-tests.sh thread BUILD    (make test-tsan)
#
# address: AddressSanitizer + UBSan over everything the suite runs: the core,
#   the Qt side and the programs the tests start (klikctl, klik-kiosk,
#   klik-relaunch, klik-webserver, klik-ptpip-camera). Only the test binaries
#   and those programs are built (the klik_tests target). The page on the
#   real Qt WebEngine (web_ui_tests) runs with one check off, in that binary
#   and the kiosk it starts only: Chromium inside the engine frees objects
#   with a new-delete type mismatch (tests/ui/web/WebEngineAsanOptions.cpp).
#
# thread: ThreadSanitizer over the code that hands work between threads: the
#   camera layer (camera_tests, camera_sim_tests, camera_gphoto2_tests), the
#   controller and its camera threads (app_tests, app_camera_port_tests,
#   app_photo_tests, app_gphoto2_tests), the run loops (foundation_tests: the manual and
#   thread run loops, the notification centre, settings) and the Qt run loop
#   that takes work from those threads onto the GUI thread
#   (ui_runloop_tests). The rest of the Qt side is not run under it: Qt's
#   own locks are not pthread mutexes the checker sees (it would report
#   every hand-over inside Qt as a race), and the GStreamer-backed video and
#   movie views have the same problem with GLib's locks.
#   Reports inside third-party code are listed, each with its reason, in
#   scripts/tsan-suppressions.txt.
#
# JOBS sets the parallel build jobs (default: all cores); KLIK_UNITY_BUILD=OFF
# compiles file by file instead of in unity batches (CMakeLists.txt).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kind="${1:?address or thread}"
build="${2:?build folder}"
jobs="${JOBS:-$(nproc)}"

# Line tables only (-g1): a sanitizer's report names the function, file
# and line of each frame, and the builds compile and link markedly faster
# without the full debug information nobody reads here.
common=(-G Ninja -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g1" "-DCMAKE_C_FLAGS_DEBUG=-g1"
        -DKLIK_BUILD_UI=ON -DKLIK_BUILD_BENCH=OFF "-DKLIK_UNITY_BUILD=${KLIK_UNITY_BUILD:-ON}")
case "$kind" in
address)
    cmake -S "$root" -B "$build" "${common[@]}" -DKLIK_SANITIZE=ON -DKLIK_SANITIZE_THREAD=OFF
    cmake --build "$build" -j "$jobs" --target klik_tests
    # The sanitizer slows a test down by two to five times: more time each.
    # The kiosk on real display servers (label display) runs in the main
    # build only: minutes of wall time each, and no code of its own to check.
    bash "$root/scripts/run-tests.sh" "$build" --timeout 300 -L '^(core|ui)$' -LE '^display$'
    ;;
thread)
    cmake -S "$root" -B "$build" "${common[@]}" -DKLIK_SANITIZE=OFF -DKLIK_SANITIZE_THREAD=ON
    cmake --build "$build" -j "$jobs" --target camera_tests camera_sim_tests camera_gphoto2_tests \
          app_tests app_camera_port_tests app_photo_tests app_gphoto2_tests foundation_tests \
          ui_runloop_tests
    # Every test of the binaries built above: the build folder knows the
    # others only as unlabelled NOT_BUILT markers, which the label filter
    # leaves out. The corpus replays (label fuzz) run in the ASan build.
    export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1 suppressions=$root/scripts/tsan-suppressions.txt}"
    # The display tests (label display) need programs this folder does not
    # build; they run in the main build.
    bash "$root/scripts/run-tests.sh" "$build" --timeout 300 -L '^(core|ui)$' -LE '^(fuzz|display)$'
    ;;
*)
    echo "usage: $0 address|thread BUILD" >&2
    exit 2
    ;;
esac
