#!/usr/bin/env bash
# Memory of the kiosk with the web page open against without it.
#
#   bash scripts/measure-web-memory.sh [BUILD]
#
# Runs klik-kiosk offscreen on the simulated camera twice, each time until
# it waits on screen 1 for its first guest: once plain (a scripted guest
# about to scan), once in web mode with the start page of a private
# klik-webserver loaded. It then reads, for the kiosk process and for the
# kiosk with every process it started (the web engine's helpers), the
# resident size (RSS) and the proportional size (PSS, shared pages split
# between their users), and stops the kiosk by its process id.
set -euo pipefail
build="${1:-build}"
kiosk="$build/src/ui/klik-kiosk"
server_bin="$build/testing/webserver/klik-webserver"
work="$(mktemp -d /tmp/klik-webmem-XXXXXX)"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
export QT_QPA_PLATFORM="offscreen:configfile=$PWD/scripts/offscreen-screen.json"

# Waits until file $1 has a line matching $2 (at most $3 seconds).
wait_for_line() {
    for _ in $(seq 1 $(( $3 * 10 ))); do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "measure: timed out waiting for [$2] in $1" >&2
    return 1
}

descendants() {
    local p="$1"
    echo "$p"
    for c in $(cat /proc/"$p"/task/*/children 2>/dev/null); do descendants "$c"; done
}

# kB of field $2 ("Rss" or "Pss") for process $1 alone.
field_kb() {
    awk -v f="$2:" '$1 == f { print $2 }' /proc/"$1"/smaps_rollup 2>/dev/null || echo 0
}

report() {
    local label="$1" pid="$2" rss pss trss=0 tpss=0 n=0
    rss="$(field_kb "$pid" Rss)"
    pss="$(field_kb "$pid" Pss)"
    for p in $(descendants "$pid"); do
        trss=$(( trss + $(field_kb "$p" Rss) ))
        tpss=$(( tpss + $(field_kb "$p" Pss) ))
        n=$(( n + 1 ))
    done
    printf '%-22s kiosk RSS %7d kB  PSS %7d kB | with its %d helper(s): RSS %7d kB  PSS %7d kB\n' \
        "$label" "$rss" "$pss" $(( n - 1 )) "$trss" "$tpss"
    echo "$rss $pss $trss $tpss" >> "$work/figures"
}

# 1. Without the page: the scripted guest looks at screen 1 before scanning.
XDG_CONFIG_HOME="$work/plain/config" "$kiosk" --root "$work/plain/root" --sim --scripted 1 \
    > "$work/plain.out" 2>&1 &
pids+=($!)
wait_for_line "$work/plain.out" "guest 1 scans barcode" 60
report "without the web page" "${pids[-1]}"
kill "${pids[-1]}"; wait "${pids[-1]}" 2>/dev/null || true

# 2. With the page: the start page of the private server loaded, the kiosk
#    waiting for its first sitting.
"$server_bin" --port 0 --log "$work/server.log" > "$work/server.out" &
pids+=($!)
wait_for_line "$work/server.out" "listening on" 10
url="$(sed -n 's/^klik-webserver: listening on //p' "$work/server.out")"
XDG_CONFIG_HOME="$work/web/config" "$kiosk" --root "$work/web/root" --sim --web "$url" \
    --scripted 1 > "$work/web.out" 2>&1 &
pids+=($!)
wait_for_line "$work/web/root/Library/Logs/Klik/Klik_Kiosk.log" "web page: finished \[$url/start\]" 60
report "with the web page open" "${pids[-1]}"

read -r p_rss _ _ p_tpss < <(sed -n 1p "$work/figures")
read -r w_rss _ _ w_tpss < <(sed -n 2p "$work/figures")
awk -v a="$w_rss" -v b="$p_rss" -v c="$w_tpss" -v d="$p_tpss" 'BEGIN {
    printf "ratio with/without: kiosk RSS %.2f, kiosk and helpers PSS %.2f\n", a / b, c / d }'
