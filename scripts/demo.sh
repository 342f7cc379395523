#!/usr/bin/env bash
# The kiosk's main job. Until the Qt application exists this runs one guest
# through the seven screens headless, in virtual time, on the simulated
# camera, and prints each screen change.
set -euo pipefail
build="${1:-build}"
mkdir -p demo-out/root
export KLIK_ROOT="$PWD/demo-out/root"
export XDG_CONFIG_HOME="$PWD/demo-out/config"
exec "$build/src/tools/klikctl" spine --scripted
