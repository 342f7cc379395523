#!/usr/bin/env bash
# The kiosk soak: the real klik-kiosk program, offscreen on the simulated
# camera, plays scripted guests for a given wall time (--scripted-minutes)
# while its memory (RSS), open file descriptors and threads are read from
# /proc/PID every few seconds. Afterwards every photo is accounted for from
# the disk, not from the kiosk's own word: each filed photo must be a whole
# JPEG carrying the kiosk's payload (klikctl payload) and the camera's
# picture serial (Exif.Photo.ImageUniqueID, read with exiv2), with a
# byte-identical upload copy; files left in scratch are counted; a serial
# missing between the first and the last, found twice, or fewer photos than
# guests shown one, counts as lost. The report has the same figures as the
# core soak (klik-soak): sessions, photos filed / in scratch / lost, and the
# slopes of RSS, fds and threads per 1,000 sessions and per hour.
#
# usage: scripts/kiosk-soak.sh [--minutes M] [--report FILE] [--build DIR]
#                              [--sample-seconds S] [--keep DIR]
# Exit status 0 only when the kiosk ran to its end, quit by itself and every
# photo is accounted for. Everything lives in a temporary folder, removed at
# the end (--keep DIR: the kiosk's folders and log are kept there).
set -euo pipefail

minutes=2
report=""
build="build"
sample_seconds=""
keep=""
while [ $# -gt 0 ]; do
    case "$1" in
        --minutes) minutes="$2"; shift 2 ;;
        --report) report="$2"; shift 2 ;;
        --build) build="$2"; shift 2 ;;
        --sample-seconds) sample_seconds="$2"; shift 2 ;;
        --keep) keep="$2"; shift 2 ;;
        -h | --help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "kiosk-soak: unknown argument [$1] (see --help)" >&2; exit 2 ;;
    esac
done
if ! awk -v m="$minutes" 'BEGIN { exit !(m + 0 > 0) }'; then
    echo "kiosk-soak: --minutes needs a number above 0, not [$minutes]" >&2
    exit 2
fi
# About a hundred sample windows over the run, of 2 to 30 s each.
if [ -z "$sample_seconds" ]; then
    sample_seconds="$(awk -v m="$minutes" 'BEGIN { s = int(m * 60 / 100); print (s < 2 ? 2 : s > 30 ? 30 : s) }')"
fi

here="$(cd "$(dirname "$0")/.." && pwd)"
kiosk="$build/src/ui/klik-kiosk"
klikctl="$build/src/tools/klikctl"
for tool in "$kiosk" "$klikctl"; do
    if [ ! -x "$tool" ]; then
        echo "kiosk-soak: $tool is not built (cmake --build $build --target klik-kiosk klikctl)" >&2
        exit 2
    fi
done
if ! command -v exiv2 > /dev/null; then
    echo "kiosk-soak: the exiv2 program is missing (Debian package exiv2, scripts/deps/photo.txt)" >&2
    exit 2
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/klik-kiosk-soak.XXXXXX")"
kiosk_pid=""
cleanup() {
    # The kiosk, if still running, is stopped by its process id: TERM, then KILL.
    if [ -n "$kiosk_pid" ] && kill -0 "$kiosk_pid" 2> /dev/null; then
        kill -TERM "$kiosk_pid" 2> /dev/null || true
        for _ in $(seq 1 50); do
            kill -0 "$kiosk_pid" 2> /dev/null || break
            sleep 0.2
        done
        kill -KILL "$kiosk_pid" 2> /dev/null || true
        wait "$kiosk_pid" 2> /dev/null || true
    fi
    if [ -n "$keep" ]; then
        mkdir -p "$keep"
        cp -a "$work/." "$keep/" 2> /dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# klikctl reads the payloads at the end: a copy of it, so a rebuild during
# a long run cannot pull it away then.
cp "$klikctl" "$work/klikctl"
klikctl="$work/klikctl"

root="$work/root"
out="$work/kiosk-output.txt"
samples="$work/samples.tsv"
mkdir -p "$root" "$work/config" "$work/home"

# Its settings, Qt's and anything under HOME stay in the temporary folder.
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
unset KLIK_ROOT
export QT_QPA_PLATFORM="offscreen:configfile=$here/scripts/offscreen-screen.json"

start_epoch="$(date +%s.%N)"
"$kiosk" --root "$root" --sim --scripted 1000 --scripted-minutes "$minutes" > "$out" 2>&1 &
kiosk_pid=$!
echo "kiosk-soak: klik-kiosk (pid $kiosk_pid) plays guests for $minutes min; samples every ${sample_seconds} s" >&2

# The turn under way ends after the time is up; longer than this is a hang.
grace=300
limit="$(awk -v m="$minutes" -v g="$grace" 'BEGIN { print int(m * 60 + g) }')"
# /proc is read every second; each window of the sample interval gives one
# row with the least and the most of each figure. The slopes are taken on
# the least (what the kiosk holds between guests: a leak raises it), the
# most shows the peaks of a turn.
printf 'seconds\tguests\trss_min\trss_max\tfds_min\tfds_max\tthreads_min\tthreads_max\n' > "$samples"
hung=0
window_end="$sample_seconds"
window=""
while kill -0 "$kiosk_pid" 2> /dev/null; do
    now="$(awk -v s="$start_epoch" -v n="$(date +%s.%N)" 'BEGIN { printf "%.1f", n - s }')"
    if awk -v n="$now" -v l="$limit" 'BEGIN { exit !(n > l) }'; then
        hung=1
        break
    fi
    rss="$(awk '/^VmRSS:/ { print $2 }' "/proc/$kiosk_pid/status" 2> /dev/null || true)"
    threads="$(awk '/^Threads:/ { print $2 }' "/proc/$kiosk_pid/status" 2> /dev/null || true)"
    fds="$(ls "/proc/$kiosk_pid/fd" 2> /dev/null | wc -l || true)"
    if [ -n "$rss" ] && [ -n "$threads" ]; then
        window="$(awk -v w="$window" -v r="$rss" -v f="$fds" -v t="$threads" 'BEGIN {
            if (w == "") { print r, r, f, f, t, t; exit }
            split(w, a, " ")
            print (r < a[1] ? r : a[1]), (r > a[2] ? r : a[2]), (f < a[3] ? f : a[3]),
                  (f > a[4] ? f : a[4]), (t < a[5] ? t : a[5]), (t > a[6] ? t : a[6]) }')"
    fi
    if awk -v n="$now" -v e="$window_end" 'BEGIN { exit !(n >= e) }'; then
        window_end="$(awk -v e="$window_end" -v s="$sample_seconds" 'BEGIN { print e + s }')"
        guests="$(grep -c ' is done$' "$out" 2> /dev/null || true)"
        if [ -n "$window" ]; then
            printf '%s\t%s\t%s\n' "$now" "${guests:-0}" "$(echo "$window" | tr ' ' '\t')" >> "$samples"
        fi
        window=""
    fi
    sleep 1
done

if [ "$hung" = 1 ]; then
    echo "kiosk-soak: FAILED: klik-kiosk did not quit within ${grace} s after its $minutes min; stopped by its process id" >&2
    tail -n 20 "$out" >&2 || true
    exit 1
fi
status=0
wait "$kiosk_pid" || status=$?
kiosk_pid=""
wall="$(awk -v s="$start_epoch" -v n="$(date +%s.%N)" 'BEGIN { printf "%.0f", n - s }')"
if [ "$status" != 0 ]; then
    if [ "$status" -gt 128 ]; then
        why="died of signal $((status - 128))"
    else
        why="ended with status $status"
    fi
    echo "kiosk-soak: FAILED: klik-kiosk $why after $wall s; its last words:" >&2
    tail -n 30 "$out" >&2 || true
    log="$(find "$root" -name '*.log' -path '*Logs*' | head -n 1)"
    if [ -n "$log" ]; then
        echo "kiosk-soak: the end of its log ($log):" >&2
        tail -n 30 "$log" >&2 || true
    fi
    exit 1
fi

# --- Accounting from the disk -------------------------------------------
main="$root/KlikKioskMainImagesFolder"
upload="$root/KlikKioskUploadFolder"
prints="$root/Prints"
problems="$work/problems.txt"
serials="$work/serials.txt"
: > "$problems"
: > "$serials"
problem() { echo "$1" >> "$problems"; }

# The camera's serial of a picture: KLIKSIM<n> in Exif.Photo.ImageUniqueID.
serial_of() {
    local id
    id="$(exiv2 -q -K Exif.Photo.ImageUniqueID -Pv "$1" 2> /dev/null | tr -d '\0 ' || true)"
    case "$id" in
        KLIKSIM[0-9]*) echo "$((10#${id#KLIKSIM}))" ;;
        *) echo "" ;;
    esac
}
# A whole JPEG: starts with FF D8, ends with FF D9 (a file cut short does not).
whole_jpeg() {
    local size head tail
    size="$(stat -c %s "$1")"
    [ "$size" -ge 4 ] || return 1
    head="$(od -An -tx1 -N2 "$1" | tr -d ' \n')"
    tail="$(od -An -tx1 -j $((size - 2)) -N2 "$1" | tr -d ' \n')"
    [ "$head" = ffd8 ] && [ "$tail" = ffd9 ]
}
# A photo as filed: whole, with the kiosk's payload and a serial.
check_photo() {
    local f="$1" want_payload="$2" s
    if ! whole_jpeg "$f"; then
        problem "$f: not a whole JPEG"
        return 1
    fi
    if [ "$want_payload" = 1 ]; then
        if ! "$klikctl" payload "$f" > "$work/payload.xml" 2> /dev/null ||
            ! grep -q '<key>uploadInfo</key>' "$work/payload.xml"; then
            problem "$f: no kiosk payload with its upload information"
            return 1
        fi
    fi
    s="$(serial_of "$f")"
    if [ -z "$s" ]; then
        problem "$f: no picture serial in its EXIF"
        return 1
    fi
    echo "$s $f" >> "$serials"
}

filed=0
filed_no_upload=0
while IFS= read -r -d '' f; do
    name="$(basename "$f")"
    day="$(basename "$(dirname "$f")")"
    if [[ ! "$name" =~ ^(.+)_([0-9a-fA-F]{12})_([0-9]{3,})\.jpg$ ]]; then
        problem "$f: not a still's name"
        continue
    fi
    # The upload copy lies under the day folder's name, or under the day
    # folder's whole path when the short web path is off.
    comp="${BASH_REMATCH[1]}_${BASH_REMATCH[2]}_comp_${BASH_REMATCH[3]}.jpg"
    copy="$upload/$day/$comp"
    [ -f "$copy" ] || copy="$upload$(dirname "$f")/$comp"
    check_photo "$f" 1 || continue
    if [ ! -f "$copy" ]; then
        filed_no_upload=$((filed_no_upload + 1))
    elif ! cmp -s "$f" "$copy"; then
        problem "$copy: upload copy differs from the filed photo"
    else
        filed=$((filed + 1))
    fi
done < <(find "$main" -type f -name '*.jpg' ! -name '.*' -print0 2> /dev/null)

# Upload copies without their filed photo.
upload_copies=0
while IFS= read -r -d '' c; do
    upload_copies=$((upload_copies + 1))
    name="$(basename "$c")"
    original="$main/$(basename "$(dirname "$c")")/${name/_comp_/_}"
    [ -f "$original" ] || original="$(dirname "${c#"$upload"}")/${name/_comp_/_}"
    [ -f "$original" ] || problem "$c: an upload copy without its filed photo"
done < <(find "$upload" -type f -name '*.jpg' ! -name '.*' -print0 2> /dev/null)

# What the kiosk left in its scratch folder (the settings' default under the
# root); a JPEG anywhere else under the root is out of place.
scratch="$root/CameraScratchFolder"
in_scratch=0
while IFS= read -r -d '' f; do
    untagged=0
    case "$(basename "$f")" in *_untagged_*) untagged=1 ;; esac
    if check_photo "$f" $((1 - untagged)); then in_scratch=$((in_scratch + 1)); fi
done < <(find "$scratch" -type f \( -name '*.jpg' -o -name '*.JPG' \) ! -name '.*' -print0 2> /dev/null)
while IFS= read -r -d '' f; do
    problem "$f: a JPEG outside the main images, upload and scratch folders"
done < <(find "$root" -type f \( -iname '*.jpg' -o -iname '*.jpeg' \) -not -path "$main/*" \
    -not -path "$upload/*" -not -path "$scratch/*" -not -path "$root/tmp/*" -print0 2> /dev/null)
# The kiosk's temporary files (fixed names, replaced each turn): a count
# that grows with the guests would be a leak of disk space.
tmp_files="$(find "$root/tmp" -type f 2> /dev/null | wc -l)"

pdfs="$(find "$prints" -type f -name '*.pdf' 2> /dev/null | wc -l)"
guests_done="$(grep -c ' is done$' "$out" || true)"
guests_shown="$(grep -c ' saw their photo$' "$out" || true)"
guests_told="$(grep -c ' was told: ' "$out" || true)"
turned_away="$(grep -c ' was turned away on screen 1$' "$out" || true)"
stuck="$(grep -c '^photographer ' "$out" || true)"

# Serials: each once; the first to the last without a gap; as many photos as
# guests shown one at least.
found="$(wc -l < "$serials")"
twice="$(awk '{ n[$1]++ } END { for (s in n) if (n[s] > 1) print s }' "$serials")"
for s in $twice; do problem "picture $s found twice: $(awk -v s="$s" '$1 == s { printf "%s ", $2 }' "$serials")"; done
missing="$(sort -n -u -k1,1 "$serials" | awk 'NR == 1 { last = $1; next } { for (s = last + 1; s < $1; s++) print s; last = $1 }')"
lost=0
for s in $missing; do
    lost=$((lost + 1))
    problem "picture $s is missing between the first and the last found"
done
distinct="$(awk '{ print $1 }' "$serials" | sort -u | wc -l)"
if [ "$distinct" -lt "$guests_shown" ]; then
    lost=$((lost + guests_shown - distinct))
    problem "$guests_shown guests were shown their photo, only $distinct photos were found"
fi

# Slopes by least squares after a tenth of the samples (warm-up), per
# 1,000 sessions (guests done) and per hour.
slopes="$(awk -F '\t' '
    NR == 1 { next }
    { t[n] = $1; g[n] = $2; r[n] = $3; f[n] = $5; h[n] = $7
      if ($4 > rmax) rmax = $4; if ($6 > fmax) fmax = $6; if ($8 > hmax) hmax = $8; n++ }
    function slope(x, y, from,   i, m, sx, sy, sxx, sxy, d) {
        m = 0; sx = sy = sxx = sxy = 0
        for (i = from; i < n; i++) { sx += x[i]; sy += y[i]; sxx += x[i] * x[i]; sxy += x[i] * y[i]; m++ }
        d = m * sxx - sx * sx
        return (m < 2 || d == 0) ? "n/a" : sprintf("%.3f", (m * sxy - sx * sy) / d)
    }
    function scale(s) { return s == "n/a" ? s : sprintf("%.1f", s * 1000) }
    END {
        from = int(n / 10)
        for (i = 0; i < n; i++) hours[i] = t[i] / 3600
        printf "rss slope (KiB per 1000 sessions): %s\n", scale(slope(g, r, from))
        printf "open fds slope (per 1000 sessions): %s\n", scale(slope(g, f, from))
        printf "threads slope (per 1000 sessions): %s\n", scale(slope(g, h, from))
        printf "rss slope (KiB per hour): %s\n", slope(hours, r, from)
        printf "open fds slope (per hour): %s\n", slope(hours, f, from)
        printf "threads slope (per hour): %s\n", slope(hours, h, from)
        if (n > 0) {
            printf "first sample (%.0f s, %d sessions): rss %d KiB, fds %d, threads %d\n", t[from], g[from], r[from], f[from], h[from]
            printf "last sample (%.0f s, %d sessions): rss %d KiB, fds %d, threads %d\n", t[n-1], g[n-1], r[n-1], f[n-1], h[n-1]
            printf "peaks during turns: rss %d KiB, fds %d, threads %d\n", rmax, fmax, hmax
            printf "samples: %d (the least of each figure per window; the first %d left out as warm-up)\n", n, from
        }
    }
' "$samples")"

# The kiosk's own error lines, by kind (times, numbers and paths folded).
log="$(find "$root" -name '*.log' -path '*Logs*' | head -n 1)"
log_errors=0
log_kinds=""
if [ -n "$log" ]; then
    log_errors="$(grep -c '^E \[' "$log" || true)"
    log_kinds="$(grep '^E \[' "$log" | sed -e 's/^E \[[^]]*\] //' -e 's|/[^ :]*|PATH|g' -e 's/[0-9][0-9]*/N/g' |
        sort | uniq -c | sort -rn | head -n 10 | awk '{ n = $1; $1 = ""; printf "kiosk log error (%d):%s\n", n, $0 }')"
fi

nproblems="$(wc -l < "$problems")"
{
    echo "kiosk soak: klik-kiosk --sim --scripted 1000 --scripted-minutes $minutes, offscreen"
    echo "sessions: $guests_done"
    echo "wall time (s): $wall"
    echo "photo size: the simulated camera's default (6000x4000)"
    echo "guests shown their photo: $guests_shown"
    echo "guests told no photo: $guests_told"
    echo "guests turned away: $turned_away"
    echo "photographer stepped in: $stuck"
    echo "faults injected: none (the core soak, klik-soak, injects them)"
    echo "photos found (distinct camera serials): $distinct"
    echo "photos filed with upload copy: $filed"
    echo "photos filed, upload copy owed: $filed_no_upload"
    echo "upload copies: $upload_copies"
    echo "photos in scratch: $in_scratch"
    echo "photos lost: $lost"
    echo "prints (PDF): $pdfs"
    echo "files in the kiosk's /tmp at the end: $tmp_files"
    echo "$slopes"
    echo "kiosk log errors: $log_errors"
    [ -z "$log_kinds" ] || echo "$log_kinds"
    echo "problems: $nproblems"
    head -n 50 "$problems" | sed 's/^/problem: /'
} > "$work/report.txt"
if [ -n "$report" ]; then
    mkdir -p "$(dirname "$report")"
    cp "$work/report.txt" "$report"
fi
cat "$work/report.txt"
if [ "$nproblems" != 0 ] || [ "$lost" != 0 ] || [ "$guests_done" = 0 ]; then
    echo "kiosk-soak: FAILED (see the problems above)" >&2
    exit 1
fi
