#!/usr/bin/env bash
# Side by side on the full-disk IR_108 sample (8 segments, 3712 x 3712 pixels
# at 10 bits): segweld --geotiff in counts, in brightness temperature, and
# satpy loading brightness temperature and saving it as a Float32 GeoTIFF;
# hyperfine, warm files. Reports the times, their ratios and the peak memory
# of each, and of the largest products: the full-disk HRV (11136 x 11136) and
# a product of 64 IR segments (29696 lines), which shows that the peak does
# not grow with the image.
# Usage: bench/geotiff_bench.sh [BUILD_FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-packages hyperfine time jq python3-satpy
cmake --build "$build" --target segweld segweld_geotiff segweld-sample >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
first=$("$build/bin/segweld-sample" "$work/product")
mkdir -p "$work/out"
echo "Product: 8 segments, $(du -sh "$work/product" | cut -f1) with prologue and epilogue"

cat >"$work/satpy_geotiff.py" <<'EOF'
import glob, logging, sys, warnings
warnings.filterwarnings("ignore")
logging.disable(logging.WARNING)
import numpy as np
from satpy import Scene
scene = Scene(reader="seviri_l1b_hrit", filenames=glob.glob(sys.argv[1] + "/H-000-*"))
scene.load(["IR_108"])  # brightness temperature, satpy's default for IR_108
scene.save_dataset("IR_108", filename=sys.argv[2], writer="geotiff", enhance=False,
                   dtype=np.float32)
EOF

hyperfine --warmup 2 --runs 10 --export-json "$work/times.json" \
    --prepare "rm -f '$work'/out/*" \
    -n counts "'$build/bin/segweld' --geotiff --calibration counts '$first' '$work/out'" \
    -n bt "'$build/bin/segweld' --geotiff --calibration bt '$first' '$work/out'" \
    -n satpy "/usr/bin/python3 '$work/satpy_geotiff.py' '$work/product' '$work/out/satpy.tif'"
jq -r '.results | map({(.command): .}) | add |
    def cpu(r): r.user + r.system;
    def ratio(a; b): (a / b * 100 | round / 100);
    "brightness temperature / counts, wall time: \(ratio(.bt.mean; .counts.mean))",
    "brightness temperature / counts, CPU time:  \(ratio(cpu(.bt); cpu(.counts)))",
    "satpy / brightness temperature, wall time:  \(ratio(.satpy.mean; .bt.mean))",
    "satpy / brightness temperature, CPU time:   \(ratio(cpu(.satpy); cpu(.bt)))"' \
    "$work/times.json"

peak() {
    local label=$1
    shift
    rm -f "$work"/out/*
    /usr/bin/time -v "$@" 2>"$work/time.txt" >/dev/null
    printf 'Peak memory, %-40s %s KiB\n' "$label:" \
        "$(grep 'Maximum resident set size' "$work/time.txt" | awk '{print $NF}')"
}
hrv=$("$build/bin/segweld-sample" --hrv "$work/hrv")
tall=$("$build/bin/segweld-sample" --segments 64 "$work/tall")
peak "join, IR_108" "$build/bin/segweld" "$first" "$work/out"
for calibration in counts bt; do
    peak "GeoTIFF $calibration, IR_108" "$build/bin/segweld" --geotiff --calibration "$calibration" \
        "$first" "$work/out"
done
peak "satpy, IR_108" /usr/bin/python3 "$work/satpy_geotiff.py" "$work/product" "$work/out/satpy.tif"
for calibration in counts reflectance; do
    peak "GeoTIFF $calibration, HRV 11136 x 11136" "$build/bin/segweld" --geotiff \
        --calibration "$calibration" "$hrv" "$work/out"
done
peak "GeoTIFF bt, IR 3712 x 29696" "$build/bin/segweld" --geotiff "$tall" "$work/out"
