#!/usr/bin/python3
"""The upload side's figures, measured side by side in one run on loopback
servers of its own (stopped by process id):

  1. latency: a photo filed into the upload folder (renamed into place, as
     the kiosk does) until its email is stored by the SMTP server; median of
     20, klik-share running as a service would;
  2. throughput: N camera-size photos to rclone's WebDAV server through
     `klik-share --once` against one plain `rclone copy` of the same files;
  3. with --turns N: the kiosk's scripted guest turns (simulated camera,
     offscreen) while klik-share delivers, once with the mail server and the
     cloud up and once with both down (their ports closed): each turn's
     time from the barcode to the guest seeing the photo, from the kiosk's log.

Usage: scripts/measure-share.py BUILD [--photos N] [--turns N]
"""
import argparse
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
src = os.path.dirname(here)


def start(cmd, pattern, env=None):
    p = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, text=True)
    for line in p.stdout:
        m = re.search(pattern, line)
        if m:
            return p, m.group(1)
    raise SystemExit("did not start: %s" % cmd)


def stop(p):
    p.send_signal(signal.SIGTERM)
    try:
        p.wait(20)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()


def free_port():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def kiosk_turns(args, env, work, name, smtp_port, dav_url):
    """Seconds of each scripted guest's turn, klik-share running beside."""
    klikctl = os.path.join(args.build, "src/tools/klikctl")
    share = os.path.join(args.build, "src/tools/share/klik-share")
    kiosk = os.path.join(args.build, "src/ui/klik-kiosk")
    root = os.path.join(work, "turns-" + name)
    os.makedirs(os.path.join(root, "config/klik"))
    settings = os.path.join(root, "config/klik/Klik_Kiosk.plist")
    for key, value in (("prefShareMailServer", "smtp://127.0.0.1:%s" % smtp_port),
                       ("prefShareMailFrom", "booth@example.net"),
                       ("prefShareRemote", ":webdav,url='%s':turns" % dav_url)):
        subprocess.run([klikctl, "--settings", settings, "defaults", "write", key, value],
                       check=True, stdout=subprocess.DEVNULL)
    run = subprocess.Popen([share, "--root", root, "--no-bus"], env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        kenv = dict(env, QT_QPA_PLATFORM="offscreen", HOME=os.path.join(work, "home-" + name))
        subprocess.run([kiosk, "--root", root, "--scripted", str(args.turns)], env=kenv,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=600)
    finally:
        stop(run)
    log = open(os.path.join(root, "Library/Logs/Klik/Klik_Kiosk.log"), encoding="utf-8",
               errors="replace").read()
    stamp = r"\[(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d+)"
    starts = [m.group(1) for m in re.finditer(stamp + r"[^\]]*\] script: guest \d+ scans", log)]
    ends = [m.group(1) for m in re.finditer(stamp + r"[^\]]*\] script:   \S+ saw their photo", log)]
    if len(starts) != args.turns or len(ends) != args.turns:
        raise SystemExit("the kiosk's log of the %s run has %d starts and %d ends of %d turns"
                         % (name, len(starts), len(ends), args.turns))

    def seconds(t):
        return time.mktime(time.strptime(t.split(".")[0], "%Y/%m/%d %H:%M:%S")) + \
            float("0." + t.split(".")[1])
    return [seconds(e) - seconds(b) for b, e in zip(starts, ends)]


def main():
    a = argparse.ArgumentParser()
    a.add_argument("build")
    a.add_argument("--photos", type=int, default=200)
    a.add_argument("--turns", type=int, default=0)
    args = a.parse_args()
    klikctl = os.path.join(args.build, "src/tools/klikctl")
    share = os.path.join(args.build, "src/tools/share/klik-share")
    work = tempfile.mkdtemp(prefix="klik-measure-")
    env = dict(os.environ, RCLONE_CONFIG=os.path.join(work, "rclone.conf"),
               XDG_CACHE_HOME=os.path.join(work, "cache"))
    helpers = []
    try:
        root = os.path.join(work, "root")
        up = os.path.join(root, "KlikKioskUploadFolder")
        os.makedirs(os.path.join(root, "config/klik"))
        settings = os.path.join(root, "config/klik/Klik_Kiosk.plist")

        def setting(key, value):
            subprocess.run([klikctl, "--settings", settings, "defaults", "write", key, value],
                           check=True, stdout=subprocess.DEVNULL)

        smtp, port = start(["/usr/bin/python3", os.path.join(src, "tests/share/smtp_sink.py"),
                            os.path.join(work, "mail")], r"listening on 127\.0\.0\.1:(\d+)")
        helpers.append(smtp)
        cloud = os.path.join(work, "cloud")
        os.makedirs(cloud)
        dav, url = start(["rclone", "serve", "webdav", "--addr", "127.0.0.1:0", cloud],
                         r"started on (http://127\.0\.0\.1:\d+/)", env)
        helpers.append(dav)
        setting("forUploadFolder", up)
        setting("prefShareMailServer", "smtp://127.0.0.1:%s" % port)
        setting("prefShareMailFrom", "booth@example.net")
        setting("prefShareEventName", "Measure")

        # A camera-size photo (6000 x 4000) with a payload of one address.
        raw = os.path.join(work, "raw.jpg")
        subprocess.run(["gst-launch-1.0", "-q", "videotestsrc", "pattern=snow", "num-buffers=1",
                        "!", "video/x-raw,width=6000,height=4000", "!", "jpegenc", "quality=60",
                        "!", "filesink", "location=" + raw], check=True)
        subprocess.run(["exiv2", "-M", "set Exif.Image.Make MeasureCam", raw], check=True)
        payload = os.path.join(work, "payload.plist")
        with open(payload, "w") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict>'
                    '<key>VZ_emailsForUpload</key><array><string>guest@example.com</string>'
                    '</array><key>VZ_kioskStation</key><string>S1</string></dict></plist>\n')
        photo = os.path.join(work, "photo.jpg")
        subprocess.run([klikctl, "embed", payload, raw, photo], check=True)
        size = os.path.getsize(photo)

        # 1. Latency, klik-share running (email only).
        day = os.path.join(up, "2026-03-05")
        os.makedirs(day)
        run = subprocess.Popen([share, "--root", root, "--no-bus"], env=env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        helpers.append(run)
        time.sleep(1)
        mail = os.path.join(work, "mail")
        latencies = []
        for i in range(20):
            tmp = os.path.join(day, ".klik-measure.part")
            shutil.copyfile(photo, tmp)
            before = len([f for f in os.listdir(mail) if f.endswith(".eml")])
            t0 = time.time_ns()
            os.rename(tmp, os.path.join(day, "lat%02d_comp_001.jpg" % i))
            while len([f for f in os.listdir(mail) if f.endswith(".eml")]) == before:
                time.sleep(0.001)
            newest = max((f for f in os.listdir(mail) if f.endswith(".eml")))
            latencies.append((os.stat(os.path.join(mail, newest)).st_mtime_ns - t0) / 1e6)
        stop(run)
        helpers.remove(run)
        print("latency filing -> email stored, %d photos of %.1f MB: median %.0f ms "
              "(min %.0f, max %.0f)" % (len(latencies), size / 1e6, statistics.median(latencies),
                                        min(latencies), max(latencies)))

        # 2. Throughput to WebDAV: cloud only, photos without addresses (sent
        # as they are), in an upload folder and outbox of their own.
        root = os.path.join(work, "root2")
        up = os.path.join(root, "KlikKioskUploadFolder")
        os.makedirs(os.path.join(root, "config/klik"))
        settings = os.path.join(root, "config/klik/Klik_Kiosk.plist")
        setting("forUploadFolder", up)
        setting("prefShareRemote", ":webdav,url='%s':share" % url)
        plain = os.path.join(work, "plain.jpg")
        subprocess.run(["cp", raw, plain], check=True)
        batch = os.path.join(up, "2026-03-06")
        os.makedirs(batch)
        for i in range(args.photos):
            os.link(plain, os.path.join(batch, "t%03d_comp_001.jpg" % i))
        t0 = time.monotonic()
        r = subprocess.run([share, "--once", "--root", root, "--no-bus"], env=env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        t_share = time.monotonic() - t0
        t0 = time.monotonic()
        subprocess.run(["rclone", "copy", batch, ":webdav,url='%s':plain" % url], env=env,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        t_plain = time.monotonic() - t0
        t0 = time.monotonic()
        subprocess.run(["rclone", "copy", "--transfers", "1", batch,
                        ":webdav,url='%s':plain1" % url], env=env,
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        t_plain1 = time.monotonic() - t0
        total = args.photos * os.path.getsize(plain) / 1e6
        print("throughput %d photos (%.0f MB) to WebDAV: klik-share %.1f s (%.0f MB/s, exit %d), "
              "rclone copy %.1f s (%.0f MB/s), rclone copy --transfers 1 %.1f s; ratio %.2f "
              "(%.2f against one transfer at a time)" %
              (args.photos, total, t_share, total / t_share, r.returncode, t_plain,
               total / t_plain, t_plain1, t_share / t_plain, t_share / t_plain1))
        if args.turns > 0:
            up_turns = kiosk_turns(args, env, work, "up", smtp_port=port, dav_url=url)
            dead = free_port()
            down_turns = kiosk_turns(args, env, work, "down", smtp_port=str(dead),
                                     dav_url="http://127.0.0.1:%d/" % dead)
            print("kiosk turns with klik-share delivering, network up: %s s (max %.2f); "
                  "network down: %s s (max %.2f); slowest down / slowest up %.2f" %
                  (" ".join("%.2f" % t for t in up_turns), max(up_turns),
                   " ".join("%.2f" % t for t in down_turns), max(down_turns),
                   max(down_turns) / max(up_turns)))
    finally:
        for h in helpers:
            stop(h)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
