#!/usr/bin/env bash
# Regenerates the default artwork and shutter sound in resources/ with the
# klik-artwork generator. Options (--event, --date, --tagline) go to the
# generator, so an installation can brand its own event:
#   scripts/make-artwork.sh [BUILD_DIR] [--event "Spring Fair" ...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="build"
if [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; then build="$1"; shift; fi
cmake --build "$build" --target klik-artwork >/dev/null
QT_QPA_PLATFORM=offscreen "$build/src/ui/klik-artwork" "$@" "$here/resources"
