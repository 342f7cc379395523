#!/usr/bin/env bash
# The kiosk's main job on the simulated camera. With a display the kiosk
# runs full screen, ready for a guest (quit by typing the quit code). Without
# one (CI, SSH) the same program runs offscreen on a 1920x1080 screen and
# plays three scripted guests through the whole turn: barcode, countdowns,
# shot, filing, print to PDF. Screenshots of every screen go to
# demo-out/shots; the program says where each photo, upload copy, PDF and
# the log went.
#
# KLIK_DEMO_WEB=1 (make demo WEB=1): klik-webserver runs on a free loopback
# port with a start page that submits itself for three guests, and the
# kiosk, in web mode, takes its guests from that page (scripted, offscreen
# without a display). The server's hits go to demo-out/webserver.log.
set -euo pipefail
# VIDEO=1 (make demo VIDEO=1): the video camera instead, simulated.
extra=()
if [ -n "${VIDEO:-}" ] && [ "${VIDEO}" != 0 ]; then extra=(--video); fi
build="${1:-build}"
kiosk="$build/src/ui/klik-kiosk"
mkdir -p demo-out/root
export XDG_CONFIG_HOME="$PWD/demo-out/config"

if [ -n "${KLIK_DEMO_WEB:-}" ] && [ "${KLIK_DEMO_WEB}" != 0 ]; then
    rm -f demo-out/webserver.log demo-out/webserver.out
    "$build/src/tools/webserver/klik-webserver" --port 0 --auto 3 \
        --log demo-out/webserver.log > demo-out/webserver.out &
    server=$!
    trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
    url=""
    for _ in $(seq 1 100); do
        url="$(sed -n 's/^klik-webserver: listening on //p' demo-out/webserver.out)"
        [ -n "$url" ] && break
        sleep 0.1
    done
    if [ -z "$url" ]; then
        echo "demo: klik-webserver did not start" >&2
        exit 1
    fi
    echo "demo: kiosk web server at $url (hits in demo-out/webserver.log)"
    if [ "$(id -u)" -eq 0 ]; then
        echo "demo: running as root: the web engine's sandbox is off"
    fi
    shots=()
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        rm -rf demo-out/shots
        export QT_QPA_PLATFORM="offscreen:configfile=$PWD/scripts/offscreen-screen.json"
        shots=(--screenshots demo-out/shots)
    fi
    status=0
    "$kiosk" --root demo-out/root --sim --web "$url" --scripted 3 "${shots[@]}" || status=$?
    echo "demo: what the web server saw:"
    grep -E "sitting|outcome" demo-out/webserver.log || true
    exit "$status"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${KLIK_DEMO_SCRIPTED:-}" ]; then
    exec "$kiosk" --root demo-out/root --sim "${extra[@]}"
fi
rm -rf demo-out/shots
export QT_QPA_PLATFORM="offscreen:configfile=$PWD/scripts/offscreen-screen.json"
exec "$kiosk" --root demo-out/root --sim --scripted 3 --screenshots demo-out/shots "${extra[@]}"
