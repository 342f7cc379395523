#!/usr/bin/env bash
# The kiosk's main job on the simulated camera. With a display the kiosk
# runs full screen, ready for a guest (quit by typing the quit code). Without
# one (CI, SSH) the same program runs offscreen on a 1920x1080 screen and
# plays three scripted guests through the whole turn: barcode, countdowns,
# shot, filing, print to PDF. Screenshots of every screen go to
# demo-out/shots; the program says where each photo, upload copy, PDF and
# the log went.
set -euo pipefail
build="${1:-build}"
kiosk="$build/src/ui/klik-kiosk"
mkdir -p demo-out/root
export XDG_CONFIG_HOME="$PWD/demo-out/config"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${KLIK_DEMO_SCRIPTED:-}" ]; then
    exec "$kiosk" --root demo-out/root --sim
fi
rm -rf demo-out/shots
export QT_QPA_PLATFORM="offscreen:configfile=$PWD/scripts/offscreen-screen.json"
exec "$kiosk" --root demo-out/root --sim --scripted 3 --screenshots demo-out/shots
