#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it as a person and as
# another project would: the programs from another folder, the dialog module
# found relative to the program, the manual pages through man, and the library
# through CMake and pkg-config.
# Usage: installed_tree_test.sh BUILD_DIR WORK_DIR VERSION CXX [CXXFLAG...]
set -euo pipefail
build=$1 work=$2 version=$3 cxx=$4
shift 4
cxx_flags=("$@")
consumer_source=$(cd "$(dirname "$0")/consumer" && pwd)
source_tree=$(cd "$(dirname "$0")/../.." && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

rm -rf "$work"
mkdir -p "$work"/{elsewhere,out,reference}
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

echo "-- versions"
for program in segweld segweld-info; do
    printed=$("$prefix/bin/$program" --version)
    [ "$printed" = "$program $version" ] || fail "$program --version printed '$printed'"
done

echo "-- nothing refers to the build or source tree"
while IFS= read -r file; do
    if readelf -d "$file" 2>/dev/null | grep -E 'R(UN)?PATH'; then
        fail "$file carries a search path"
    fi
done < <(find "$prefix" -type f)
if grep -rlF -e "$build" -e "$source_tree" "$prefix"; then
    fail "installed files name the build or source tree"
fi

echo "-- the installed segweld joins the sample product from another folder"
first=$("$build/bin/segweld-sample" "$work/product")
(cd "$work/elsewhere" && env -i PATH=/usr/bin:/bin "$prefix/bin/segweld" "$first" ../out)
"$build/bin/segweld" "$first" "$work/reference"
joined=$(find "$work/out" -type f)
[ -n "$joined" ] || fail "no output"
cmp "$joined" "$work/reference/$(basename "$joined")"

if [ -e "$build/bin/segweld-dialog.so" ]; then
    echo "-- the dialog module is found relative to the moved program"
    [ -f "$prefix/lib/segweld/segweld-dialog.so" ] || fail "dialog module not in lib/segweld"
    cp -a "$prefix" "$work/moved"
    # An unreachable display: the module loads, then finds no display.
    said=$(DISPLAY=:4093 "$work/moved/bin/segweld" 2>&1 >/dev/null || true)
    grep -q "no display is available" <<<"$said" || fail "module not loaded: $said"
    rm "$work/moved/lib/segweld/segweld-dialog.so"
    said=$(DISPLAY=:4093 "$work/moved/bin/segweld" 2>&1 >/dev/null || true)
    grep -q "is not installed" <<<"$said" || fail "missing module not reported: $said"
fi

echo "-- manual pages and completion"
for page in segweld segweld-info; do
    MANWIDTH=80 man -M "$prefix/share/man" "$page" 2>/dev/null | grep -q -- "--version" ||
        fail "man $page shows no --version"
done
# What completion offers for a command line whose last word is being typed.
offers() {
    local program=$1
    shift
    bash -c 'source /usr/share/bash-completion/bash_completion
             source "$1"; shift
             COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
             COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
             complete_function=$(complete -p "$1" | sed -E "s/.*-F ([^ ]+).*/\1/")
             "$complete_function" "$1" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
             printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$prefix/share/bash-completion/completions/$program" "$program" "$@"
}
if [ -f /usr/share/bash-completion/bash_completion ]; then
    # words before | word being typed | offered | not offered
    while IFS='|' read -r words typed offered absent; do
        read -ra line <<<"$words"
        got=$(offers "${line[@]}" "$typed")
        [ -z "$offered" ] || grep -qx -- "$offered" <<<"$got" ||
            fail "'$words $typed' does not offer $offered"
        [ -z "$absent" ] || ! grep -qx -- "$absent" <<<"$got" || fail "'$words $typed' offers $absent"
    done <<'ROWS'
segweld|--ba|--batch|--watch
segweld --batch|-|--report|--timeout
segweld --watch|-|--timeout|--report
segweld --batch|-j|-j|--timeout
segweld -j||1|--batch
segweld-info|--|--series|--batch
ROWS
fi

echo "-- another project builds against the library, both ways"
json=$("$prefix/bin/segweld-info" --json "$first")
field() { grep -o "\"$1\": [^,]*" <<<"$json" | head -1 | sed 's/.*: //; s/"//g'; }
expected="library $version
channel $(field channel)
columns $(field columns)
lines $(field lines)"

cmake -S "$consumer_source" -B "$work/consumer-cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="${cxx_flags[*]}" \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer-cmake" >/dev/null
pc_folder=$(dirname "$(find "$prefix" -name segweld.pc)")
# shellcheck disable=SC2046
"$cxx" -std=c++20 "${cxx_flags[@]}" "$consumer_source/main.cpp" -o "$work/consumer-pkg-config" \
    $(PKG_CONFIG_PATH=$pc_folder pkg-config --cflags --libs segweld)

for consumer in "$work/consumer-cmake/segweld_consumer" "$work/consumer-pkg-config"; do
    rm -rf "$work/consumer-out" && mkdir "$work/consumer-out"
    printed=$("$consumer" "$first" "$work/consumer-out")
    [ "$(head -4 <<<"$printed")" = "$expected" ] || fail "$consumer printed: $printed"
    cmp "$work/consumer-out/$(basename "$joined")" "$joined"
done
echo "installed tree fine"
