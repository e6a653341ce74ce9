#!/usr/bin/env bash
# The watch's latency (watch_latency_bench: from the close of a product's
# last segment to its output in place, 100 products a round) without
# --metrics, with it and scraped every second (/metrics and the status page,
# as Prometheus and an open page do), and with it flooded by wrk (4
# connections asking /metrics as fast as they are answered), in alternating
# rounds whose samples are pooled: median and 95th percentile of each, and
# the change against the watch without --metrics. All on 127.0.0.1.
# Usage: bench/metrics_bench.sh [BUILD_FOLDER] [ROUNDS]   (default: build 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${2:-5}

scripts/install-packages wrk curl python3
cmake --build "$build" --target segweld watch_latency_bench >/dev/null
segweld=$(realpath "$build/bin/segweld")
work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-metrics-bench-XXXXXX")
helpers=()
stop_helpers() {
    for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${helpers[@]}"; do wait "$pid" 2>/dev/null || true; done
    helpers=()
}
trap 'stop_helpers; rm -rf "$work"' EXIT

free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

round() { # MODE
    local mode=$1 port options=()
    port=$(free_port)
    case $mode in
        scraped)
            options=(-- --metrics "127.0.0.1:$port")
            (while :; do
                curl -s -o /dev/null "http://127.0.0.1:$port/metrics" || true
                curl -s -o /dev/null "http://127.0.0.1:$port/" || true
                sleep 1
            done) &
            helpers+=($!)
            ;;
        flooded)
            options=(-- --metrics "127.0.0.1:$port")
            # Runs of 3 s, each of which prints its rate.
            (sleep 0.5; while :; do wrk -t 1 -c 4 -d 3s "http://127.0.0.1:$port/metrics"; done) \
                >>"$work/wrk.txt" 2>&1 &
            helpers+=($!)
            ;;
    esac
    "$build/bin/watch_latency_bench" "$segweld" 100 8 20000 "$work/$mode.ms" "${options[@]}" >/dev/null
    stop_helpers
    [ "$mode" != flooded ] || sleep 3  # the last wrk run ends by itself
}

for r in $(seq "$rounds"); do
    # The order turns each round, so that a slow spell of the machine falls on all alike.
    case $((r % 3)) in
        1) order="off scraped flooded" ;;
        2) order="scraped flooded off" ;;
        0) order="flooded off scraped" ;;
    esac
    for mode in $order; do round "$mode"; done
    echo "round $r of $rounds done"
done

python3 - "$work" <<'PY'
import sys, statistics, os
work = sys.argv[1]
def load(mode):
    with open(os.path.join(work, mode + ".ms")) as f:
        return sorted(float(line) for line in f if line.strip())
def p95(values):
    return values[round(0.95 * (len(values) - 1))]
base = load("off")
for mode, what in (("off", "without --metrics"), ("scraped", "--metrics, scraped every second"),
                   ("flooded", "--metrics, flooded by wrk")):
    values = load(mode)
    med, high = statistics.median(values), p95(values)
    change = "" if mode == "off" else (f"  ({100 * (med / statistics.median(base) - 1):+.1f}% median, "
                                       f"{100 * (high / p95(base) - 1):+.1f}% p95)")
    print(f"{what:34s} {len(values):4d} products: median {med:.2f} ms, p95 {high:.2f} ms{change}")
PY
grep -h 'Requests/sec' "$work/wrk.txt" | awk '{ s += $2; n++ } END { if (n) printf "wrk: %.0f requests/s on average while flooding\n", s / n }'
