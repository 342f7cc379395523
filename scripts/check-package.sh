#!/usr/bin/env bash
# Builds the Debian package of one build folder and checks it as an installer
# would meet it: its dependencies resolve, it unpacks, the programs run from
# the unpacked tree and find the resources there, the systemd unit and the
# menu entry are accepted by their validators. Prints the package's contents
# and size. Usage: scripts/check-package.sh [BUILD]
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
fail() { echo "check-package: FAIL: $*" >&2; exit 1; }

# The programs and their man pages, then the package.
nice cmake --build "$build" --target klik-kiosk klikctl klik-relaunch klik-share klik_man >/dev/null
rm -f "$build"/klik_*.deb
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack could not build the package"
deb="$(ls "$build"/klik_*.deb | head -n 1)"
[ -f "$deb" ] || fail "no package in $build"
echo "check-package: $(basename "$deb"), $(du -h "$deb" | cut -f1)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Every dependency resolves on this system's package lists.
dpkg-deb -f "$deb" Depends | tee "$work/depends"
apt-get install --simulate --no-install-recommends "$(realpath "$deb")" >"$work/simulate" 2>&1 ||
    { cat "$work/simulate" >&2; fail "apt-get cannot resolve the dependencies"; }

# Contents.
dpkg-deb -c "$deb" | awk '{print $3, $6}' | sed 's|\./|/|' >"$work/contents"
cat "$work/contents"
for f in /usr/bin/klik-kiosk /usr/bin/klikctl /usr/bin/klik-relaunch /usr/bin/klik-share \
         /usr/lib/systemd/user/klik-share.service /usr/share/man/man1/klik-share.1.gz \
         /usr/share/klik/FactoryDefault.plist /usr/share/klik/EmailKeyboard.ui \
         /usr/lib/systemd/user/klik-kiosk.service /usr/lib/udev/rules.d/70-klik-cameras.rules \
         /usr/share/applications/klik-kiosk.desktop \
         /usr/share/man/man1/klik-kiosk.1.gz /usr/share/man/man1/klikctl.1.gz \
         /usr/share/man/man1/klik-relaunch.1.gz; do
    grep -q " $f\$" "$work/contents" || fail "$f is not in the package"
done
# The test doubles (testing/) are not part of the kiosk.
for p in klik-ptpip-camera klik-webserver; do
    ! grep -q "/$p\(\.1\.gz\)\?\$" "$work/contents" || fail "the test double $p is in the package"
done
# Every program has its man page.
for p in $(awk '$2 ~ "^/usr/bin/" {sub("/usr/bin/", "", $2); print $2}' "$work/contents"); do
    grep -q " /usr/share/man/man1/$p.1.gz\$" "$work/contents" || fail "no man page for $p"
done

# The programs run from the unpacked tree and find its resources.
root="$work/root"
dpkg-deb -x "$deb" "$root"
unset KLIK_RESOURCES
"$root/usr/bin/klik-kiosk" --help >"$work/kiosk-help" || fail "klik-kiosk --help failed"
grep -q -- "--root" "$work/kiosk-help" || fail "klik-kiosk --help says nothing of --root"
"$root/usr/bin/klik-relaunch" --help >/dev/null || fail "klik-relaunch --help failed"
"$root/usr/bin/klik-share" --help >/dev/null || fail "klik-share --help failed"
status=0
XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_CACHE_HOME="$work/cache" \
    XDG_DATA_HOME="$work/data" "$root/usr/bin/klikctl" doctor >"$work/doctor" 2>&1 || status=$?
cat "$work/doctor"
# Doctor says "all is well" with 0 and names problems with 1 (this machine
# may lack a camera); anything else is a failure of its own.
[ "$status" -le 1 ] || fail "klikctl doctor ended with status $status"
grep -q "^ok       resources     $root/usr/share/klik " "$work/doctor" ||
    fail "klikctl doctor did not find the resources in the unpacked package"
grep -q "^ok       log           $work/state/klik/Klik_Kiosk.log" "$work/doctor" ||
    fail "the log is not under \$XDG_STATE_HOME/klik"

# The unit and the menu entry pass their validators, any warning counting as
# a failure. The unit names /usr/bin/klik-kiosk, so a copy naming the
# unpacked program is verified (as a user unit, in a private runtime folder).
command -v systemd-analyze >/dev/null || fail "systemd-analyze is not installed (scripts/deps/package.txt)"
mkdir -p "$work/verify-unit" "$work/runtime"
for name in klik-kiosk klik-share; do
    unit="$root/usr/lib/systemd/user/$name.service"
    sed "s|/usr/bin/|$root/usr/bin/|g" "$unit" >"$work/verify-unit/$name.service"
    XDG_RUNTIME_DIR="$work/runtime" SYSTEMD_LOG_LEVEL=notice systemd-analyze --user verify --man=no \
        "$work/verify-unit/$name.service" >"$work/verify" 2>&1 ||
        { cat "$work/verify" >&2; fail "systemd-analyze rejects $name.service"; }
    if [ -s "$work/verify" ]; then cat "$work/verify" >&2; fail "systemd-analyze warns about $name.service"; fi
done
echo "check-package: systemd-analyze accepts klik-kiosk.service and klik-share.service"
desktop-file-validate "$root/usr/share/applications/klik-kiosk.desktop" ||
    fail "desktop-file-validate rejects the entry"
echo "check-package: desktop-file-validate accepts klik-kiosk.desktop"
echo "check-package: ok"
