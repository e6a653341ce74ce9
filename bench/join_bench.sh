#!/usr/bin/env bash
# Joins a 24-segment HRV-size product (3,229,440 data bytes per segment) with
# segweld and, for comparison, concatenates the same files with cat; reports
# the times (hyperfine, warm files) and segweld's peak memory.
# Usage: bench/join_bench.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-packages hyperfine time
cmake --build "$build" --target segweld segweld-sample >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
first=$("$build/bin/segweld-sample" --hrv "$work/product")
mkdir -p "$work/out"
segments=("$work"/product/*-HRV______-0000*)
echo "Product: ${#segments[@]} segments, $(du -sh "$work/product" | cut -f1) in all"

hyperfine --warmup 3 --runs 40 \
    --prepare "rm -f '$work'/out/*" \
    -n segweld "'$build/bin/segweld' '$first' '$work/out'" \
    -n cat "cat ${segments[*]@Q} > '$work/out/cat'"

rm -f "$work"/out/*
/usr/bin/time -v "$build/bin/segweld" "$first" "$work/out" 2>"$work/time.txt"
grep -E 'Maximum resident set size|Elapsed' "$work/time.txt"
