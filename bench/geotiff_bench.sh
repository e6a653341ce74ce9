#!/usr/bin/env bash
# Writes the GeoTIFF of an 8-segment IR_108 product (3712 x 3712 pixels at
# 10 bits) with segweld --geotiff and, for comparison, joins it plainly;
# reports the times (hyperfine, warm files), their ratio and the peak memory
# of each. A product of 64 segments (29696 lines) shows that the peak does not
# grow with the image.
# Usage: bench/geotiff_bench.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-packages hyperfine time jq
cmake --build "$build" --target segweld segweld-sample >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
first=$("$build/bin/segweld-sample" "$work/product")
mkdir -p "$work/out"
echo "Product: 8 segments, $(du -sh "$work/product" | cut -f1) with prologue and epilogue"

hyperfine --warmup 2 --runs 15 --export-json "$work/times.json" \
    --prepare "rm -f '$work'/out/*" \
    -n join "'$build/bin/segweld' '$first' '$work/out'" \
    -n geotiff "'$build/bin/segweld' --geotiff '$first' '$work/out'"
jq -r '.results | "GeoTIFF / join, wall time: \(.[1].mean / .[0].mean * 100 | round / 100)",
    "GeoTIFF / join, CPU time (user + system): \((.[1].user + .[1].system) /
        (.[0].user + .[0].system) * 100 | round / 100)"' "$work/times.json"

peak() {
    rm -f "$work"/out/*
    /usr/bin/time -v "$build/bin/segweld" "$@" "$work/out" 2>"$work/time.txt" >/dev/null
    echo "$(grep 'Maximum resident set size' "$work/time.txt" | awk '{print $NF}') KiB"
}
echo "Peak memory, join:               $(peak "$first")"
echo "Peak memory, GeoTIFF:            $(peak --geotiff "$first")"
tall=$("$build/bin/segweld-sample" --segments 64 "$work/tall")
echo "Peak memory, GeoTIFF 3712x29696: $(peak --geotiff "$tall")"
