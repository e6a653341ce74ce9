#!/usr/bin/env bash
# segweld --batch on 200 small products (8 segments of 20,000 data bytes each)
# against a shell loop that calls segweld once per product, at -j 1 and at one
# worker per processor (hyperfine, warm files); the same batch again once all
# 200 outputs are up to date (the check alone); then the watch's latency from
# a product's last segment closed to its output in place (watch_latency_bench,
# 100 products: median and 95th percentile). Before each timed run the
# outputs of the last are removed and written back to disk, so that one run's
# write-back is not counted in the next.
# Usage: bench/batch_bench.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-packages hyperfine
cmake --build "$build" --target segweld station_bench_products watch_latency_bench >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-batch-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out"
"$build/bin/station_bench_products" "$work/in" 200 8 20000
segweld=$(realpath "$build/bin/segweld")
cores=$(nproc)
echo "Input: 200 products, $(ls "$work/in" | wc -l) files, $(du -sh "$work/in" | cut -f1); $cores processors"

hyperfine --warmup 2 --runs 10 \
    --prepare "find '$work/out' -mindepth 1 -delete; sync" \
    -n "shell loop" "for f in '$work'/in/*-000001___-*; do '$segweld' \"\$f\" '$work/out'; done" \
    -n "batch -j 1" "'$segweld' --batch '$work/in' '$work/out' -j 1" \
    -n "batch -j $cores" "'$segweld' --batch '$work/in' '$work/out' -j $cores"

"$segweld" --batch "$work/in" "$work/out" 2>/dev/null
hyperfine --warmup 2 --runs 20 -n "batch, all 200 up to date" "'$segweld' --batch '$work/in' '$work/out'"

"$build/bin/watch_latency_bench" "$segweld" 100 8 20000
