#!/usr/bin/env bash
# Products stored as archives keep them, every segment file compressed with
# bzip2. First one full-disk HRV product (24 segments of 3,229,440 data bytes):
# segweld joining it from its .bz2 files against `bzip2 -dc` of the same
# files into one file, at one process each (hyperfine, warm files), and the
# peak memory of each. Then --batch of 50 such products at -j 1 and -j 2 (the
# 50 share the compressed files through hard links under the names of 50 time
# slots), and the peak memory of -j 2. Before each timed run the outputs of
# the last are removed and written back to disk. The sample's picture is
# smooth and compresses far better than real data: given a real HRV segment
# file, every segment's data field is that file's (its headers stay the
# sample's), so that bzip2 works as hard as on an archive. Last, one
# --geotiff of the product from its plain and from its .bz2 files, with the
# time and peak memory of each.
# Usage: bench/compressed_bench.sh [BUILD_FOLDER] [PRODUCTS] [REAL_HRV_SEGMENT]
#        (default: build 50, the sample's own data); BATCH_RUNS=N times each
#        batch N times (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${2:-50}
real=${3:-}

scripts/install-packages hyperfine time bzip2
cmake --build "$build" --target segweld segweld-sample segweld_geotiff >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-compressed-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bin/segweld-sample" --hrv "$work/product" >/dev/null
segments=("$work"/product/*-HRV______-0000*)
if [ -n "$real" ]; then
    header=6198  # the sample's and the real segments' header length
    for segment in "${segments[@]}"; do
        { head -c "$header" "$segment" && tail -c "+$((header + 1))" "$real"; } >"$work/segment"
        mv "$work/segment" "$segment"
    done
fi
mkdir -p "$work/plain"
cp "${segments[@]}" "$work/plain/"
bzip2 -9 "${segments[@]}"
segments=("${segments[@]/%/.bz2}")
mkdir -p "$work/out" "$work/archive" "$work/batch-out"
echo "Product: ${#segments[@]} segments, $(cat "${segments[@]}" | wc -c) bytes compressed," \
    "$(bzip2 -dc "${segments[@]}" | wc -c) decompressed"

hyperfine --warmup 1 --runs 10 \
    --prepare "rm -f '$work'/out/*; sync" \
    -n "segweld (bzip2 files)" "'$build/bin/segweld' '${segments[0]}' '$work/out'" \
    -n "bzip2 -dc > one file" "bzip2 -dc ${segments[*]@Q} > '$work/out/bzip2'"
for command in "$build/bin/segweld ${segments[0]} $work/out" "bzip2 -dc ${segments[*]}"; do
    rm -f "$work"/out/*
    /usr/bin/time -f "peak memory %M KiB: ${command%% *}" $command >"$work/out/stdout" 2>"$work/time.txt"
    tail -n 1 "$work/time.txt"
done

# 50 products, one per quarter hour from 2007-06-15 12:00: each segment file
# a hard link to the product's, under the slot's name.
for slot in $(seq 0 $((count - 1))); do
    minutes=$((12 * 60 + slot * 15))
    stamp=$(printf '200706%02d%02d%02d' $((15 + minutes / 1440)) $((minutes % 1440 / 60)) $((minutes % 60)))
    for segment in "${segments[@]}"; do
        name=$(basename "$segment")
        ln "$segment" "$work/archive/${name/200706151200/$stamp}"
    done
done
echo "Batch: $count products, $(ls "$work/archive" | wc -l) files; $(nproc) processors"
hyperfine --runs "${BATCH_RUNS:-3}" \
    --prepare "find '$work/batch-out' -mindepth 1 -delete; sync" \
    -n "batch -j 1" "'$build/bin/segweld' --batch '$work/archive' '$work/batch-out' -j 1 -q" \
    -n "batch -j 2" "'$build/bin/segweld' --batch '$work/archive' '$work/batch-out' -j 2 -q"
find "$work/batch-out" -mindepth 1 -delete
/usr/bin/time -f "peak memory %M KiB: batch -j 2" \
    "$build/bin/segweld" --batch "$work/archive" "$work/batch-out" -j 2 -q 2>"$work/time.txt"
tail -n 1 "$work/time.txt"

mkdir -p "$work/geotiff"
plain=("$work"/plain/*)
for first in "${plain[0]}" "${segments[0]}"; do
    rm -f "$work"/geotiff/*
    form=$([[ $first == *.bz2 ]] && echo "bzip2 files" || echo "plain files")
    /usr/bin/time -f "%e s, peak memory %M KiB: --geotiff, $form" \
        "$build/bin/segweld" --geotiff --calibration counts "$first" "$work/geotiff" \
        >/dev/null 2>"$work/time.txt"
    tail -n 1 "$work/time.txt"
done
