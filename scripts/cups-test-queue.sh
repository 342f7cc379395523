#!/usr/bin/env bash
# Sets up a CUPS queue that prints into PDF files, for the printing test.
# Idempotent. Starts cupsd directly when it is not running (CI runs as root
# without systemd). Writes the queue name and the output folder to
# /tmp/klik-cups-queue.env (KLIK_CUPS_QUEUE=..., KLIK_CUPS_PDF_DIR=...); when
# CUPS cannot be set up the file is removed, the reason printed, and the
# script still exits 0 so the test run goes on (the test then skips).
set -u
queue="${KLIK_CUPS_QUEUE:-KlikPDF}"
outdir="${KLIK_CUPS_PDF_DIR:-/tmp/klik-cups-pdf}"
envfile=/tmp/klik-cups-queue.env
rm -f "$envfile"
skip() { echo "cups-test-queue: $*; the CUPS print test will skip" >&2; exit 0; }

command -v cupsd >/dev/null 2>&1 || skip "cupsd is not installed"
command -v lpadmin >/dev/null 2>&1 || skip "lpadmin is not installed"
[ "$(id -u)" = 0 ] || skip "not root: cannot configure CUPS here"
conf=/etc/cups/cups-pdf.conf
[ -f "$conf" ] || skip "$conf missing (printer-driver-cups-pdf)"

mkdir -p "$outdir" && chmod 1777 "$outdir" || skip "cannot create $outdir"
if ! grep -qx "Out $outdir" "$conf"; then
    sed -i -e '/^Out /d' "$conf" && echo "Out $outdir" >>"$conf" || skip "cannot edit $conf"
fi
if ! grep -qx "AnonDirName $outdir" "$conf"; then
    sed -i -e '/^AnonDirName /d' "$conf" && echo "AnonDirName $outdir" >>"$conf"
fi

if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    mkdir -p /run/cups
    cupsd || skip "cupsd did not start"
fi
for _ in $(seq 1 100); do
    lpstat -r 2>/dev/null | grep -q "is running" && break
    sleep 0.1
done
lpstat -r 2>/dev/null | grep -q "is running" || skip "the CUPS scheduler does not answer"

if ! lpstat -p "$queue" >/dev/null 2>&1; then
    ppd=$(lpinfo -m 2>/dev/null | grep -i 'cups-pdf' | grep -i '_opt' | head -1 | cut -d' ' -f1)
    [ -n "$ppd" ] || ppd=$(lpinfo -m 2>/dev/null | grep -i 'pdf' | head -1 | cut -d' ' -f1)
    [ -n "$ppd" ] || skip "no PDF driver listed by lpinfo -m"
    lpadmin -p "$queue" -E -v cups-pdf:/ -m "$ppd" || skip "lpadmin could not add $queue"
fi
cupsenable "$queue" 2>/dev/null || true
cupsaccept "$queue" 2>/dev/null || true
printf 'KLIK_CUPS_QUEUE=%s\nKLIK_CUPS_PDF_DIR=%s\n' "$queue" "$outdir" >"$envfile"
echo "cups-test-queue: queue $queue prints into $outdir"
