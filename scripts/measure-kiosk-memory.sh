#!/usr/bin/env bash
# The kiosk's resident memory over a scripted run: the real klik-kiosk,
# offscreen on a 1920 x 1080 screen with the default artwork and the
# simulated camera, plays N guests while /proc/PID/status is read every
# half second. Prints the resident memory on screen 1 between guests
# (median and largest of the samples taken while no turn ran), the peak
# (VmHWM) and the samples' largest, in MiB.
#
# usage: scripts/measure-kiosk-memory.sh [BUILD_DIR] [GUESTS]   (default build, 20)
set -euo pipefail
build="${1:-build}"
guests="${2:-20}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
kiosk="$build/src/ui/klik-kiosk"
[ -x "$kiosk" ] || { echo "measure-kiosk-memory: build $kiosk first" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM="offscreen:configfile=$here/scripts/offscreen-screen.json"
"$kiosk" --root "$work/root" --sim --scripted "$guests" > "$work/out.txt" 2>&1 &
pid=$!
: > "$work/samples.txt"
# A sample is "between guests" when the kiosk's last word was a finished
# turn (its summary lines) and no new guest has scanned yet.
while kill -0 "$pid" 2>/dev/null; do
    rss="$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)"
    hwm="$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)"
    last="$(grep -E '^(guest [0-9]+ scans|  )' "$work/out.txt" | tail -1 || true)"
    state=turn
    case "$last" in "  "*) state=between ;; esac
    [ -n "$rss" ] && echo "$rss $hwm $state" >> "$work/samples.txt"
    sleep 0.5
done
wait "$pid" || { echo "measure-kiosk-memory: the kiosk failed:"; tail -20 "$work/out.txt"; exit 1; }
grep -E "scripted guests done" "$work/out.txt" || true
awk '$3 == "between" { print $1 }' "$work/samples.txt" | sort -n > "$work/between.txt"
n="$(wc -l < "$work/between.txt")"
[ "$n" -gt 0 ] || { echo "measure-kiosk-memory: no sample between guests" >&2; exit 1; }
median="$(sed -n "$(((n + 1) / 2))p" "$work/between.txt")"
largest="$(tail -1 "$work/between.txt")"
awk -v median="$median" -v largest="$largest" -v n="$n" '
    { if ($1 > max) max = $1; if ($2 > hwm) hwm = $2 }
    END {
        printf "between guests: median %.1f MiB, largest %.1f MiB (%d samples)\n",
               median / 1024, largest / 1024, n
        printf "largest sample %.1f MiB, peak (VmHWM) %.1f MiB\n", max / 1024, hwm / 1024
    }' "$work/samples.txt"
