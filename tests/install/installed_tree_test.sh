#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as a person and as
# another project would: the programs from another folder, the dialog module
# found relative to the moved program, man pages (linted by mandoc in the
# man_pages test), completion, and the library
# through CMake and pkg-config.
# Usage: installed_tree_test.sh BUILD_DIR WORK_DIR VERSION CXX [CXXFLAG...]
# No pipefail: a grep -q that has seen enough may end the program it reads.
set -eu
build=$1 work=$2 version=$3 cxx=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2 && exit 1; }

rm -rf "$work" && mkdir -p "$work"/{elsewhere,out,reference}
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for program in segweld segweld-info; do
    [ "$("$prefix/bin/$program" --version)" = "$program $version" ] || fail "$program --version"
    man -l "$prefix/share/man/man1/$program.1.gz" | grep -q -- --version || fail "man $program"
done
find "$prefix" -type f -exec readelf -d {} + 2>/dev/null | grep -E 'R(UN)?PATH' && fail "search path"
# Text files only: debug information names the sources, as it should. The
# service names the installed program, which lies below the build tree here.
unit=$prefix/lib/systemd/system/segweld-watch@.service
grep -qx "ExecStart=$prefix/bin/segweld --watch --config /etc/segweld/watch-%i.conf" "$unit" ||
    fail "the service does not run the installed program"
grep -rlIF --exclude="$(basename "$unit")" -e "$build" -e "$(cd "$here/../.." && pwd)" "$prefix" &&
    fail "files name the build or source tree"

echo "-- the installed segweld joins the sample product from another folder"
first=$("$build/bin/segweld-sample" "$work/product")
(cd "$work/elsewhere" && env -i PATH=/usr/bin:/bin "$prefix/bin/segweld" "$first" ../out)
"$build/bin/segweld" "$first" "$work/reference"
joined=$(find "$work/out" -type f)
cmp "$joined" "$work/reference/$(basename "$joined")"

if [ -e "$build/bin/segweld-dialog.so" ]; then
    echo "-- the moved program finds its dialog module, or says it is missing"
    cp -a "$prefix" "$work/moved"
    # An unreachable display: a loaded module says there is none.
    DISPLAY=:4093 "$work/moved/bin/segweld" 2>&1 | grep -q "no display is available" ||
        fail "module not loaded"
    rm "$work/moved/lib/segweld/segweld-dialog.so"
    DISPLAY=:4093 "$work/moved/bin/segweld" 2>&1 | grep -q "is not installed" ||
        fail "missing module not reported"
fi

# Completion offers the options of the mode being typed.
got=$(bash -c 'source /usr/share/bash-completion/bash_completion && source "$1" && shift
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE="$*" && COMP_POINT=${#COMP_LINE}
    _segweld && printf "%s\n" "${COMPREPLY[@]}"' _ "$prefix/share/bash-completion/completions/segweld" \
    segweld --watch -)
grep -qx -- --timeout <<<"$got" && ! grep -qx -- --recursive <<<"$got" || fail "completion offers: $got"

echo "-- another project builds against the library, both ways"
json=$("$prefix/bin/segweld-info" --json "$first")
field() { grep -o "\"$1\": [^,]*" <<<"$json" | head -1 | sed 's/.*: //; s/"//g'; }
expected=$(printf 'library %s\nchannel %s\ncolumns %s\nlines %s' "$version" "$(field channel)" \
    "$(field columns)" "$(field lines)")
cmake -S "$here/consumer" -B "$work/consumer-cmake" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_CXX_FLAGS="$*" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer-cmake" >/dev/null
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name segweld.pc)")
# shellcheck disable=SC2046
"$cxx" -std=c++20 "$@" "$here/consumer/main.cpp" -o "$work/consumer-pkg-config" \
    $(pkg-config --cflags --libs segweld)
for consumer in "$work/consumer-cmake/segweld_consumer" "$work/consumer-pkg-config"; do
    rm -rf "$work/consumer-out" && mkdir "$work/consumer-out"
    printed=$("$consumer" "$first" "$work/consumer-out")
    [ "$(head -4 <<<"$printed")" = "$expected" ] || fail "$consumer printed: $printed"
    cmp "$work/consumer-out/$(basename "$joined")" "$joined"
done
echo "installed tree fine"
