#!/usr/bin/env bash
# Times segweld-info --series on a 24-segment HRV-size product (5568 x 464
# pixels at 10 bits, 3,229,440 data bytes per segment) on warm files with
# hyperfine. --series reads the headers only, so the time should not grow
# with the size of the data fields.
# Usage: bench/series_bench.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-packages hyperfine
cmake --build "$build" --target segweld-info segweld-sample >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-series-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
first=$("$build/bin/segweld-sample" --hrv "$work/product")
segments=("$work"/product/*-HRV______-0000*)
echo "Product: ${#segments[@]} segments, $(du -sh "$work/product" | cut -f1) in all"

# The product must be complete, or the figure would time an error path.
"$build/bin/segweld-info" --series "$first" >/dev/null

hyperfine --warmup 5 --runs 200 -N \
    -n "segweld-info --series" "'$build/bin/segweld-info' --series '$first'" \
    -n "segweld-info --series --json" "'$build/bin/segweld-info' --series --json '$first'"
