#!/usr/bin/env bash
# The kiosk's main job on the simulated camera. With a display the kiosk
# runs full screen, ready for a guest (quit by typing the quit code). Without
# one (CI, SSH) the same program runs offscreen on a 1920x1080 screen and
# plays three scripted guests through the whole turn: barcode, countdowns,
# shot, filing, print to PDF; then a fourth guest who takes four shots,
# laid into the four windows of the print frame, and gets an animated loop
# (MP4 and GIF beside the photo). Screenshots of every screen go to
# demo-out/shots; the program says where each photo, upload copy, PDF and
# the log went.
#
# KLIK_DEMO_WEB=1 (make demo WEB=1): klik-webserver runs on a free loopback
# port with a start page that submits itself for three guests, and the
# kiosk, in web mode, takes its guests from that page (scripted, offscreen
# without a display). The server's hits go to demo-out/webserver.log.
#
# KLIK_DEMO_CAMERA=ptpip (make demo CAMERA=ptpip): the same through the real
# libgphoto2 against klik-ptpip-camera, a PTP/IP camera of our own started
# on a free loopback port (its memory card in demo-out/ptpip-card, its log in
# demo-out/ptpip-camera.log) and stopped by its process id at the end.
# libgphoto2 keeps its PTP/IP identity under $HOME/.gphoto, so the kiosk
# gets a temporary HOME: the real one is not touched.
# KLIK_DEMO_CAMERA=ptpip-eos (make demo CAMERA=ptpip-eos): the same camera
# answering as a Canon EOS body (--personality canon-eos), so libgphoto2
# drives it through its EOS code: remote release, the event poll, shots
# fetched from the body's memory, live view that warms up for a second.
#
# KLIK_DEMO_SHARE=1 (make demo SHARE=1): the upload side too. A private SMTP
# server (aiosmtpd, writing each message to demo-out/mail) and rclone's
# WebDAV server (over demo-out/cloud) run on free loopback ports, klik-share
# delivers what the kiosk files, and the script shows each guest's email and
# the event's folder at the end. Implies WEB=1 (the web page's guests come
# with their addresses).
set -euo pipefail
# VIDEO=1 (make demo VIDEO=1): the video camera instead, simulated.
extra=()
if [ -n "${VIDEO:-}" ] && [ "${VIDEO}" != 0 ]; then extra=(--video); fi
build="${1:-build}"
kiosk="$build/src/ui/klik-kiosk"
mkdir -p demo-out/root
export XDG_CONFIG_HOME="$PWD/demo-out/config"

# Every helper started here is stopped by its process id when the script ends.
helpers=()
demo_home=""
cleanup() {
    for pid in "${helpers[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ -n "$demo_home" ]; then rm -rf "$demo_home"; fi
}
trap cleanup EXIT

# Waits (up to 10 s) for FILE to hold a line matching the sed expression
# EXPR and prints what it extracts.
wait_for_line() {
    local file="$1" expr="$2" found=""
    for _ in $(seq 1 100); do
        found="$(sed -n "$expr" "$file" 2>/dev/null | head -n 1)"
        [ -n "$found" ] && break
        sleep 0.1
    done
    printf '%s' "$found"
}

# The upload side: servers, settings, klik-share (stopped by its process id).
share_pid=""
if [ -n "${KLIK_DEMO_SHARE:-}" ] && [ "${KLIK_DEMO_SHARE}" != 0 ]; then
    export KLIK_DEMO_WEB=1
    rm -rf demo-out/mail demo-out/cloud demo-out/root/KlikShareOutbox.sqlite*
    mkdir -p demo-out/cloud demo-out/root/config/klik
    export RCLONE_CONFIG="$PWD/demo-out/rclone.conf"
    /usr/bin/python3 tests/share/smtp_sink.py demo-out/mail > demo-out/smtp.out 2>&1 &
    helpers+=($!)
    smtp_port="$(wait_for_line demo-out/smtp.out 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p')"
    rclone serve webdav --addr 127.0.0.1:0 demo-out/cloud > demo-out/webdav.log 2>&1 &
    helpers+=($!)
    dav="$(wait_for_line demo-out/webdav.log 's|.*started on \(http://127\.0\.0\.1:[0-9]*/\).*|\1|p')"
    if [ -z "$smtp_port" ] || [ -z "$dav" ]; then
        echo "demo: the SMTP or WebDAV server did not start (demo-out/smtp.out, demo-out/webdav.log)" >&2
        exit 1
    fi
    settings=(--settings demo-out/root/config/klik/Klik_Kiosk.plist)
    ctl="$build/src/tools/klikctl"
    "$ctl" "${settings[@]}" defaults write prefShareMailServer "smtp://127.0.0.1:$smtp_port" >/dev/null
    "$ctl" "${settings[@]}" defaults write prefShareMailFrom "photos@booth.example" >/dev/null
    "$ctl" "${settings[@]}" defaults write prefShareEventName "Demo Party" >/dev/null
    "$ctl" "${settings[@]}" defaults write prefShareRemote ":webdav,url='$dav':album" >/dev/null
    "$build/src/tools/share/klik-share" --root demo-out/root "${settings[@]}" \
        > demo-out/klik-share.out 2>&1 &
    share_pid=$!
    helpers+=($share_pid)
    echo "demo: klik-share delivering through SMTP 127.0.0.1:$smtp_port and WebDAV $dav"
fi

# After the guests: klik-share finishes what is queued and the result is shown.
share_report() {
    [ -n "$share_pid" ] || return 0
    kill "$share_pid" 2>/dev/null || true
    wait "$share_pid" 2>/dev/null || true
    "$build/src/tools/share/klik-share" --once --root demo-out/root "${settings[@]}" --no-bus \
        >> demo-out/klik-share.out 2>&1 || true
    "$build/src/tools/klikctl" --root demo-out/root share status
    echo "demo: the guests' email (demo-out/mail):"
    /usr/bin/python3 tests/share/read_mail.py demo-out/mail |
        awk -F'\t' '$1 == "MSG" {print "  to " $2 ": " $5} $1 == "ATT" {print "     attached " $2 " (" $3 ")"}'
    echo "demo: the event's folder (demo-out/cloud):"
    (cd demo-out/cloud && find . -type f | sort | sed 's|^\./|  |')
}

# The booth's gallery (klik-share-gallery) on a free loopback port: every
# review screen shows the guest's QR code, and the demo's last step fetches
# every guest's link from it. Its log is demo-out/gallery.log.
settings_file=demo-out/root/config/klik/Klik_Kiosk.plist
gallery_port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
gallery_address="http://127.0.0.1:$gallery_port"
"$build/src/tools/klikctl" --settings "$settings_file" defaults write prefShareGalleryAddress \
    "$gallery_address" >/dev/null
mkdir -p demo-out/root/KlikKioskUploadFolder
rm -f demo-out/gallery.out
"$build/src/share/gallery/klik-share-gallery" --root demo-out/root \
    --upload demo-out/root/KlikKioskUploadFolder --log demo-out/gallery.log > demo-out/gallery.out 2>&1 &
helpers+=($!)
if [ -z "$(wait_for_line demo-out/gallery.out 's/^klik-share-gallery: serving \(.*\)$/\1/p')" ]; then
    echo "demo: the gallery did not start (see demo-out/gallery.out)" >&2
    exit 1
fi
echo "demo: the booth's gallery at $gallery_address (log in demo-out/gallery.log)"

# The last step: each guest's link of this run, fetched from the gallery.
fetch_links() {
    echo "demo: every guest's link in the booth's gallery:"
    local copy link page photo found=0
    while IFS= read -r copy; do
        found=1
        link="$("$build/src/tools/klikctl" --settings "$settings_file" share link "$copy")"
        page="$(curl -s -o /dev/null -w '%{http_code}' "$link")"
        photo="$(curl -s -o /dev/null -w '%{http_code}, %{size_download} bytes' "$link/download.jpg")"
        echo "  $link: page $page, photo $photo (${copy##*/})"
    done < <(find demo-out/root/KlikKioskUploadFolder -name '*.jpg' -newer demo-out/gallery.out | sort)
    if [ "$found" = 0 ]; then echo "  (no upload copies in this run)"; fi
}

camera=(--sim)
case "${KLIK_DEMO_CAMERA:-}" in
    "" | sim) ;;
    ptpip | ptpip-eos)
        rm -rf demo-out/ptpip-card
        personality=generic
        if [ "$KLIK_DEMO_CAMERA" = ptpip-eos ]; then personality=canon-eos; fi
        "$build/testing/ptpip/klik-ptpip-camera" --listen 127.0.0.1:0 --personality "$personality" \
            --store demo-out/ptpip-card > demo-out/ptpip-camera.out 2> demo-out/ptpip-camera.log &
        helpers+=($!)
        port="$(wait_for_line demo-out/ptpip-camera.out 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p')"
        if [ -z "$port" ]; then
            echo "demo: klik-ptpip-camera did not start (see demo-out/ptpip-camera.log)" >&2
            exit 1
        fi
        demo_home="$(mktemp -d)"
        export HOME="$demo_home"
        camera=(--camera gphoto2 --port "ptpip:127.0.0.1:$port:$port")
        echo "demo: libgphoto2 against klik-ptpip-camera ($personality) on 127.0.0.1:$port (card in demo-out/ptpip-card)"
        ;;
    *)
        echo "demo: CAMERA must be sim, ptpip or ptpip-eos, not \"${KLIK_DEMO_CAMERA}\"" >&2
        exit 2
        ;;
esac

if [ -n "${KLIK_DEMO_WEB:-}" ] && [ "${KLIK_DEMO_WEB}" != 0 ]; then
    rm -f demo-out/webserver.log demo-out/webserver.out
    "$build/testing/webserver/klik-webserver" --port 0 --auto 3 \
        --log demo-out/webserver.log > demo-out/webserver.out &
    helpers+=($!)
    url="$(wait_for_line demo-out/webserver.out 's/^klik-webserver: listening on //p')"
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
    "$kiosk" --root demo-out/root "${camera[@]}" --web "$url" --scripted 3 "${shots[@]}" || status=$?
    echo "demo: what the web server saw:"
    grep -E "sitting|outcome" demo-out/webserver.log || true
    share_report
    fetch_links
    exit "$status"
fi
# Not exec'd: the helpers are stopped when the kiosk ends.
status=0
# KLIK_DEMO_DISPLAY=x11 (make demo DISPLAY_SERVER=x11): the real program on a
# private Xvfb (no window manager, as under xinit), three guests whose
# barcodes xdotool types, a screenshot of every screen from the display
# itself in demo-out/x11; the display is stopped by its process id.
if [ "${KLIK_DEMO_DISPLAY:-}" = x11 ]; then
    /usr/bin/python3 tests/ui/display/kiosk_on_display.py --kiosk "$kiosk" \
        --resources "$PWD/resources" --setup "${KLIK_DEMO_WM:-none}" --demo 3 \
        --keep "$PWD/demo-out/x11" || status=$?
    echo "demo: screenshots of the real display in demo-out/x11 (*.png), the kiosk's files in demo-out/x11/demo"
    exit "$status"
elif [ -n "${KLIK_DEMO_DISPLAY:-}" ]; then
    echo "demo: DISPLAY_SERVER must be x11, not \"${KLIK_DEMO_DISPLAY}\"" >&2
    exit 2
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${KLIK_DEMO_SCRIPTED:-}" ]; then
    "$kiosk" --root demo-out/root "${camera[@]}" "${extra[@]}" || status=$?
    fetch_links
    exit "$status"
fi
rm -rf demo-out/shots
export QT_QPA_PLATFORM="offscreen:configfile=$PWD/scripts/offscreen-screen.json"
"$kiosk" --root demo-out/root "${camera[@]}" --scripted 4 --scripted-last-shots 4 \
    --screenshots demo-out/shots \
    "${extra[@]}" || status=$?
fetch_links
exit "$status"
