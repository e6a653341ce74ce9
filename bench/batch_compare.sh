#!/usr/bin/env bash
# Two builds of segweld side by side on the batch and watch figures of
# bench/batch_bench.sh, in alternating runs: round after round each build
# joins the same 200 products (-j 1 and one worker per processor) and runs the
# watch latency benchmark, the builds' order swapped every round. A slow
# spell of the machine (write-back, another program) then falls on both builds
# alike instead of on whichever ran in it, which hyperfine's one-build-after-
# the-other cannot promise. Prints the median of each batch figure over the
# rounds, the median and 95th percentile of the watch's latencies of all
# rounds pooled, and the second build's change against the first.
# Usage: bench/batch_compare.sh OLD_BUILD NEW_BUILD [ROUNDS]   (default 15)
set -euo pipefail
cd "$(dirname "$0")/.."
if (($# < 2)); then
    echo "Usage: bench/batch_compare.sh OLD_BUILD NEW_BUILD [ROUNDS]" >&2
    exit 2
fi
builds=("$1" "$2")
rounds=${3:-15}
cores=$(nproc)
# The products and the latency benchmark come from the new build; only
# segweld itself is taken from each.
cmake --build "${builds[0]}" --target segweld >/dev/null
cmake --build "${builds[1]}" --target segweld station_bench_products watch_latency_bench >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-batch-compare-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/out"
"${builds[1]}/bin/station_bench_products" "$work/in" 200 8 20000 >/dev/null

# One timed batch of build $1 at -j $2, in milliseconds, on an empty output
# folder whose last contents are written back.
time_batch() {
    find "$work/out" -mindepth 1 -delete
    sync
    local start end
    start=$(date +%s%N)
    "$1/bin/segweld" --batch "$work/in" "$work/out" -j "$2" 2>/dev/null
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN {printf "%.2f", ns / 1e6}'
}

# One watch latency run of build $1, its products' latencies added to file $2.
watch_latency() {
    "${builds[1]}/bin/watch_latency_bench" "$(realpath "$1/bin/segweld")" 100 8 20000 "$2" \
        >/dev/null
}

declare -A samples
for ((round = 0; round < rounds; ++round)); do
    order=(0 1)
    ((round % 2)) && order=(1 0)
    for jobs in 1 "$cores"; do
        for b in "${order[@]}"; do
            samples[$b,batch-j$jobs]+="$(time_batch "${builds[b]}" "$jobs") "
        done
    done
    for b in "${order[@]}"; do
        watch_latency "${builds[b]}" "$work/latency-$b"
    done
done
for b in 0 1; do
    samples[$b,watch-median]=$(tr '\n' ' ' <"$work/latency-$b")
    samples[$b,watch-p95]=${samples[$b,watch-median]}
done

# The value at `fraction` of the sorted numbers on standard input.
percentile() {
    tr ' ' '\n' | grep . | sort -g |
        awk -v f="$1" '{v[NR] = $1} END {i = int(f * (NR - 1) + 0.5) + 1; print v[i]}'
}

printf '%d rounds; %s against %s\n' "$rounds" "${builds[1]}" "${builds[0]}"
printf '%-20s %12s %12s %9s\n' figure old new change
for figure in "batch-j1" "batch-j$cores" watch-median watch-p95; do
    fraction=0.5
    [[ $figure == *p95 ]] && fraction=0.95
    old=$(percentile "$fraction" <<<"${samples[0,$figure]}")
    new=$(percentile "$fraction" <<<"${samples[1,$figure]}")
    printf '%-20s %9.2f ms %9.2f ms %+8.1f%%\n' "$figure" "$old" "$new" \
        "$(awk -v old="$old" -v new="$new" 'BEGIN {print 100 * (new / old - 1)}')"
done
