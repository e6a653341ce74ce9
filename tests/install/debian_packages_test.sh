#!/usr/bin/env bash
# Builds the Debian packages from the built tree and checks them as dpkg and
# a user would meet them: names and version, Depends satisfied on this machine
# (or by a sibling package), the dialog's toolkit only in segweld-gui, files
# only below /usr, no maintainer scripts, and the unpacked programs working.
# Usage: debian_packages_test.sh BUILD_DIR WORK_DIR VERSION
set -euo pipefail
build=$1 work=$2 version=$3

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

rm -rf "$work"
mkdir -p "$work/control"
cpack --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
mapfile -t debs < <(find "$work/cpack" -maxdepth 1 -name '*.deb' | sort)
[ ${#debs[@]} -gt 0 ] || fail "no packages"

declare -A built
for deb in "${debs[@]}"; do
    built[$(dpkg-deb -f "$deb" Package)]=$(dpkg-deb -f "$deb" Version)
done
[ -n "${built[segweld]:-}" ] || fail "no package named segweld"

# True when one alternative of a Depends clause ("name (op version)") is
# installed here or is one of the packages just built.
satisfied() {
    local name op wanted have
    read -r name op wanted <<<"$(sed -E 's/:any//; s/[()]//g' <<<"$1")"
    have=${built[$name]:-}
    if [ -z "$have" ]; then
        dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed' ||
            return 1
        have=$(dpkg-query -W -f='${Version}' "$name")
    fi
    [ -z "$op" ] || dpkg --compare-versions "$have" "$op" "$wanted"
}

for deb in "${debs[@]}"; do
    package=$(dpkg-deb -f "$deb" Package)
    echo "-- $package"
    [ "$(basename "$deb")" = "${package}_${version}_amd64.deb" ] || fail "file name $(basename "$deb")"
    [ "${built[$package]}" = "$version" ] || fail "$package has version ${built[$package]}"

    depends=$(dpkg-deb -f "$deb" Depends)
    echo "   Depends: $depends"
    IFS=',' read -ra clauses <<<"$depends"
    for clause in "${clauses[@]}"; do
        IFS='|' read -ra alternatives <<<"$clause"
        ok=
        for alternative in "${alternatives[@]}"; do
            satisfied "$alternative" && ok=1 && break
        done
        [ -n "$ok" ] || fail "$package: '$clause' is not satisfied here"
    done
    case $package in
        segweld-gui) grep -q "segweld (= $version)" <<<"$depends" || fail "segweld-gui must need segweld" ;;
        *) ! grep -qE 'libwx|libgtk' <<<"$depends" || fail "$package pulls the GUI toolkit" ;;
    esac

    if dpkg-deb -c "$deb" | awk '{print $6}' | grep -vE '^\./(usr/.*)?$'; then
        fail "$package installs outside /usr"
    fi
    # No conffiles, and no maintainer script beyond CPack's ldconfig call:
    # removal leaves nothing behind.
    dpkg-deb -e "$deb" "$work/control/$package"
    for file in "$work/control/$package"/*; do
        case $(basename "$file") in
            control | md5sums) ;;
            postinst | postrm)
                ! grep -vE '^(#!/bin/sh|set -e|if \[ "\$1" = "(configure|remove)" \]; then|\s*ldconfig|fi|)$' \
                    "$file" || fail "$package: $(basename "$file") does more than ldconfig"
                ;;
            *) fail "$package has $(basename "$file")" ;;
        esac
    done
    dpkg -x "$deb" "$work/root"
done

echo "-- unpacked"
root=$work/root
for program in segweld segweld-info; do
    [ "$("$root/usr/bin/$program" --version)" = "$program $version" ] || fail "$program --version"
    mandoc -T lint "$root/usr/share/man/man1/$program.1.gz" || fail "$program.1 lint"
done
[ -f "$root/usr/share/doc/segweld/copyright" ] || fail "no copyright file"
if [ -n "${built[segweld-gui]:-}" ]; then
    said=$(DISPLAY=:4093 "$root/usr/bin/segweld" 2>&1 >/dev/null || true)
    grep -q "no display is available" <<<"$said" || fail "unpacked dialog module not loaded: $said"
fi
if [ -n "${built[segweld-dev]:-}" ]; then
    [ -f "$root/usr/lib/cmake/Segweld/SegweldConfig.cmake" ] || fail "no CMake package"
    [ -f "$root/usr/lib/pkgconfig/segweld.pc" ] || fail "no pkg-config file"
fi
echo "packages fine"
