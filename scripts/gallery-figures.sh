#!/usr/bin/env bash
# The gallery against a plain static file server, side by side in one run:
# the same 3 MB photo (a guest's copy without addresses) fetched N times by
# C concurrent clients (curl, one connection a fetch) from klik-share-gallery
# and from Python's http.server; prints throughput, p95 latency and their
# ratios. Everything on 127.0.0.1 in a temporary folder, removed at the end;
# both servers are stopped by their process ids.
#   bash scripts/gallery-figures.sh [BUILD] [FETCHES] [CLIENTS]
set -euo pipefail
build="${1:-build}"; fetches="${2:-200}"; clients="${3:-50}"
work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# A photo of about 3 MB (a noisy picture compresses little), tagged with a
# guest's address as the kiosk tags its upload copies.
day="$work/Up/2024-05-01"; mkdir -p "$day" "$work/plain"
gst-launch-1.0 -q videotestsrc pattern=snow num-buffers=1 ! \
    video/x-raw,width=1900,height=1900 ! jpegenc quality=92 ! filesink location="$work/raw.jpg"
cat > "$work/payload.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
<key>VZ_emailsForUpload</key><array><string>guest@example.com</string></array>
<key>VZ_kioskStation</key><string>Bench</string>
<key>uploadInfo</key><dict><key>f</key><string>pt5</string></dict>
</dict></plist>
PLIST
"$build/src/tools/klikctl" embed "$work/payload.plist" "$work/raw.jpg" \
    "$day/bench_001122334455_comp_001.jpg" >/dev/null

settings="$work/config/Klik_Kiosk.plist"
gport="$(free_port)"; pport="$(free_port)"
"$build/src/tools/klikctl" --settings "$settings" defaults write prefShareGalleryAddress \
    "http://127.0.0.1:$gport" >/dev/null
"$build/src/share/gallery/klik-share-gallery" --settings "$settings" --upload "$work/Up" \
    --cache "$work/cache" --log "$work/gallery.log" --benchmark-limits > "$work/gallery.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do grep -q serving "$work/gallery.out" && break; sleep 0.1; done
link="$("$build/src/tools/klikctl" --settings "$settings" share link "$day/bench_001122334455_comp_001.jpg")"
gallery_url="$link/photo.jpg"
# The static server serves the very bytes the gallery serves.
curl -s -o "$work/plain/photo.jpg" "$gallery_url"
size="$(stat -c %s "$work/plain/photo.jpg")"
python3 -m http.server "$pport" --bind 127.0.0.1 --directory "$work/plain" > "$work/http.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do curl -s -o /dev/null "http://127.0.0.1:$pport/photo.jpg" && break; sleep 0.1; done
plain_url="http://127.0.0.1:$pport/photo.jpg"

# N fetches by C clients: "seconds p95_ms MB/s failures".
load() {
    local url="$1" out="$work/times.$RANDOM"
    local start end
    start=$(date +%s.%N)
    seq 1 "$fetches" | xargs -P "$clients" -I{} \
        curl -s -o /dev/null -w '%{http_code} %{time_total} %{size_download}\n' "$url" > "$out"
    end=$(date +%s.%N)
    local bad p95
    bad="$(awk -v size="$size" '$1 != 200 || $3 != size { n++ } END { print n + 0 }' "$out")"
    p95="$(awk '{ print $2 }' "$out" | sort -n |
        awk '{ t[NR] = $1 } END { i = int(NR * 0.95); if (i < NR * 0.95) i++; print t[i] }')"
    awk -v s="$start" -v e="$end" -v size="$size" -v n="$fetches" -v p="$p95" -v b="$bad" \
        'BEGIN { w = e - s; printf "%.3f %.1f %.1f %d\n", w, p * 1000, n * size / w / 1e6, b }'
}
curl -s -o /dev/null "$gallery_url"; curl -s -o /dev/null "$plain_url"   # warm
read -r gw gp gt gb < <(load "$gallery_url")
read -r pw pp pt pb < <(load "$plain_url")
echo "photo: $size bytes; $fetches fetches by $clients concurrent clients, on 127.0.0.1"
printf "  %-28s %8s %10s %10s %9s\n" server seconds "p95 (ms)" "MB/s" failures
printf "  %-28s %8s %10s %10s %9s\n" klik-share-gallery "$gw" "$gp" "$gt" "$gb"
printf "  %-28s %8s %10s %10s %9s\n" "python3 -m http.server" "$pw" "$pp" "$pt" "$pb"
awk -v a="$gt" -v b="$pt" -v c="$gp" -v d="$pp" \
    'BEGIN { printf "  gallery / static: throughput x%.2f, p95 latency x%.2f\n", a / b, c / d }'
