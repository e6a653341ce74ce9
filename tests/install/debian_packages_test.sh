#!/usr/bin/env bash
# Builds the Debian packages from the built tree and checks them as dpkg and
# a user meet them: file names and version, Depends satisfied on this machine
# (or by a sibling package), the GUI toolkit only in segweld-gui, segweld
# suggesting the others, files only below /usr, a copyright file and a
# changelog in each, nothing that removal would leave behind, the unpacked
# programs, headers that stand alone, a missing module named by its package.
# The packages stay in WORK_DIR/cpack for debian_lint_test.sh.
# Usage: debian_packages_test.sh BUILD_DIR WORK_DIR VERSION CXX
set -eu
build=$1 work=$2 version=$3 cxx=$4
fail() { echo "FAIL: $*" >&2 && exit 1; }

rm -rf "$work" && mkdir -p "$work/control"
cpack --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" && fail "cpack"; }
declare -A built
for deb in "$work"/cpack/*.deb; do
    built[$(dpkg-deb -f "$deb" Package)]=$(dpkg-deb -f "$deb" Version)
done
[ "${built[segweld]:-}" = "$version" ] || fail "no segweld $version"

# True when a Depends alternative "name (op version)" is installed here or built.
satisfied() {
    local name op wanted have
    read -r name op wanted <<<"$(sed -E 's/:any//; s/[()]//g' <<<"$1")"
    have=${built[$name]:-$(dpkg-query -W -f='${db:Status-Abbrev} ${Version}' "$name" 2>/dev/null |
        sed -n 's/^ii  *//p')}
    [ -n "$have" ] && { [ -z "$op" ] || dpkg --compare-versions "$have" "$op" "$wanted"; }
}

for package in "${!built[@]}"; do
    deb=$work/cpack/${package}_${version}_amd64.deb
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "-- $package: $depends"
    [ "${built[$package]}" = "$version" ] || fail "$package version ${built[$package]}"
    IFS=',' read -ra clauses <<<"$depends"
    for clause in "${clauses[@]}"; do
        IFS='|' read -ra alternatives <<<"$clause"
        for alternative in "${alternatives[@]}" ""; do
            [ -n "$alternative" ] || fail "$package: '$clause' is not satisfied here"
            satisfied "$alternative" && break
        done
    done
    if [ "$package" = segweld-gui ]; then
        grep -q "segweld (= $version)" <<<"$depends" || fail "segweld-gui must need segweld"
    elif grep -qE 'libwx|libgtk' <<<"$depends"; then
        fail "$package pulls the GUI toolkit"
    fi
    dpkg-deb -c "$deb" | awk '{print $6}' | grep -vE '^\./(usr/.*)?$' && fail "$package: outside /usr"
    for document in copyright changelog.gz; do
        dpkg-deb -c "$deb" | grep -q " \./usr/share/doc/$package/$document\$" ||
            fail "$package: no $document"
    done
    # Nothing but control and md5sums: no conffiles or scripts for removal to leave behind.
    dpkg-deb -e "$deb" "$work/control/$package"
    ls "$work/control/$package" | grep -vxE 'control|md5sums' && fail "$package: maintainer files"
    dpkg -x "$deb" "$work/root"
done

suggests=$(dpkg-deb -f "$work/cpack/segweld_${version}_amd64.deb" Suggests)
for package in segweld-gui segweld-geotiff; do
    if [ -n "${built[$package]:-}" ]; then
        grep -qF "$package (= $version)" <<<"$suggests" || fail "segweld does not suggest $package"
    fi
done

echo "-- unpacked"
root=$work/root
grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$root/usr/share/doc/segweld/copyright" || fail "copyright file not machine-readable"
zcat "$root/usr/share/doc/segweld/changelog.gz" | head -1 | grep -qF "segweld ($version)" ||
    fail "changelog does not start with $version"
grep -qx 'ExecStart=/usr/bin/segweld --watch --config /etc/segweld/watch-%i.conf' \
    "$root/usr/lib/systemd/system/segweld-watch@.service" || fail "service runs another program"
for program in segweld segweld-info; do
    [ "$("$root/usr/bin/$program" --version)" = "$program $version" ] || fail "$program --version"
    [ -f "$root/usr/share/man/man1/$program.1.gz" ] || fail "no manual page for $program"
done
[ -f "$root/usr/share/doc/segweld/copyright" ] || fail "no copyright file"
if [ -n "${built[segweld-gui]:-}" ]; then
    DISPLAY=:4093 "$root/usr/bin/segweld" 2>&1 | grep -q "no display is available" ||
        fail "unpacked dialog module not loaded"
fi
# Without its package a module is named by that package.
rm -rf "$root/usr/lib/segweld"
if [ -n "${built[segweld-gui]:-}" ]; then
    DISPLAY=:4093 "$root/usr/bin/segweld" 2>&1 | grep -qF "(package segweld-gui)" ||
        fail "missing dialog not named by its package"
fi
if [ -n "${built[segweld-geotiff]:-}" ]; then
    "$root/usr/bin/segweld" --geotiff x y 2>&1 | grep -qF "(package segweld-geotiff)" ||
        fail "missing GeoTIFF writer not named by its package"
fi

echo "-- public headers, each on its own"
headers=$(cd "$root/usr/include/segweld" && find . -name '*.h' | sed 's|^\./||' | sort)
grep -E '(^|/)(posix|win32|inotify)_[^/]*$' <<<"$headers" && fail "segweld-dev ships internal headers"
for header in $headers; do
    echo "#include <$header>" |
        "$cxx" -std=c++20 -fsyntax-only -I"$root/usr/include/segweld" -x c++ - ||
        fail "$header does not stand alone with the package's headers"
done
echo "packages fine"
