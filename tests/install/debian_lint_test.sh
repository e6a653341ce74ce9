#!/usr/bin/env bash
# The packages of debian_packages_test.sh as Debian's tools see them:
# lintian --pedantic (no error or warning; overrides justified in packaging/),
# hardening-check when the build used Debian's hardening flags,
# desktop-file-validate with the icons, systemd-analyze verify on the service.
# Usage: debian_lint_test.sh PACKAGE_DIR WORK_DIR HARDENED(ON|OFF)
set -eu
packages=$1 work=$2 hardened=$3
fail() { echo "FAIL: $*" >&2 && exit 1; }

rm -rf "$work" && mkdir -p "$work"
debs=("$packages"/*.deb)
[ -e "${debs[0]}" ] || fail "no packages in $packages"
root=$work/root
for deb in "${debs[@]}"; do dpkg -x "$deb" "$root"; done

echo "-- lintian"
lintian --pedantic --display-info --display-experimental --tag-display-limit 0 "${debs[@]}" \
    >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
grep -qE "^[EW]: " "$work/lintian.txt" && fail "lintian reports errors or warnings"
grep -q '^internal error' "$work/lintian.txt" && fail "lintian failed"

if [ "$hardened" = ON ]; then
    echo "-- hardening-check"
    binaries=$(find "$root/usr/bin" "$root/usr/lib/segweld" -type f)
    # PIE, stack protector, fortify, RELRO and bind-now: what Debian 12's
    # dpkg-buildflags gives. Control-flow protection (-fcf-protection) came
    # to its flags only later.
    # shellcheck disable=SC2086
    hardening-check --nocfprotection $binaries || fail "hardening missing"
fi

if [ -d "$root/usr/share/applications" ]; then
    echo "-- desktop entry"
    for entry in "$root"/usr/share/applications/*.desktop; do
        desktop-file-validate "$entry" || fail "$entry"
        grep -qx 'Exec=segweld' "$entry" && [ -x "$root/usr/bin/segweld" ] || fail "Exec= of $entry"
        icon=$(sed -n 's/^Icon=//p' "$entry")
        for size in 16 32 48 64 128 256; do
            png=$root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png
            file "$png" | grep -q "PNG image data, $size x $size," || fail "no $png"
        done
        [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable $icon"
    done
fi

echo "-- systemd-analyze verify"
# The unit is verified inside the unpacked package, so that its program and
# manual page are the packaged ones; the system's own units and the kill of
# procps, which it depends on, are copied beside it.
units=$root/usr/lib/systemd/system
cp -a /usr/lib/systemd/system/. "$units/"
ln -s usr/bin "$root/bin"
cp /bin/kill "$root/usr/bin/"
verify() { MANPATH=$root/usr/share/man systemd-analyze verify --root="$root" "$1" 2>&1; }
report=$(verify segweld-watch@station.service) || fail "systemd-analyze: $report"
[ -z "$report" ] || fail "systemd-analyze: $report"
# The same verify must speak up about a unit with a mistake, or it checked nothing.
sed 's/^WatchdogSec=.*/WatchdogSec=soon/' "$units/segweld-watch@.service" >"$units/broken@.service"
verify broken@station.service | grep -q "broken@.service:.*soon" || fail "systemd-analyze verify checks nothing here"
echo "packages lint-free"
