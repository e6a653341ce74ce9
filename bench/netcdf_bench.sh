#!/usr/bin/env bash
# The eleven 3 km channels of one full-disk slot of the sample (VIS006 to
# IR_134, 8 segments of 3712 x 464 pixels at 10 bits each, in the channels'
# default quantities) to one NetCDF file: segweld --slots --netcdf given one
# segment of the slot, against satpy loading the same eleven channels and
# saving them with its CF writer into one file. The two run alternately, RUNS times
# each, warm files; each run's wall time and peak RSS come from GNU time.
# Reports the mean and best wall time of each, their ratio, the largest peak
# RSS of each and the sizes of what each wrote.
# Usage: bench/netcdf_bench.sh [BUILD_FOLDER] [RUNS]   (default: build 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}

scripts/install-packages time python3-satpy python3-netcdf4
cmake --build "$build" --target segweld segweld_geotiff segweld-sample >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
channels=(VIS006 VIS008 IR_016 IR_039 WV_062 WV_073 IR_087 IR_097 IR_108 IR_120 IR_134)
for channel in "${channels[@]}"; do
    "$build/bin/segweld-sample" --channel "$channel" "$work/slot" >/dev/null
done
mkdir -p "$work/segweld" "$work/satpy"
first=$(ls "$work"/slot/H-000-*-IR_108___-000001___-* | head -n 1)
echo "Slot: ${#channels[@]} channels of 8 segments, $(du -sh "$work/slot" | cut -f1) with prologue and epilogue"

cat >"$work/satpy_cf.py" <<'EOF'
import glob, logging, sys, warnings
warnings.filterwarnings("ignore")
logging.disable(logging.WARNING)
from satpy import Scene
channels = sys.argv[3].split(",")
scene = Scene(reader="seviri_l1b_hrit", filenames=glob.glob(sys.argv[1] + "/H-000-*"))
scene.load(channels)  # reflectance and brightness temperature, satpy's defaults
scene.save_datasets(writer="cf", filename=sys.argv[2], datasets=channels)
EOF

# Runs a command under GNU time; prints "SECONDS KIB".
measure() {
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt" || {
        cat "$work/err.txt" >&2
        exit 1
    }
    cat "$work/time.txt"
}
list=$(IFS=,; echo "${channels[*]}")
: >"$work/results.txt"
for run in $(seq "$runs"); do
    rm -f "$work"/segweld/* "$work"/satpy/*
    echo "segweld $(measure "$build/bin/segweld" --slots --netcdf "$first" "$work/segweld")" \
        >>"$work/results.txt"
    echo "satpy $(measure /usr/bin/python3 "$work/satpy_cf.py" "$work/slot" \
        "$work/satpy/slot.nc" "$list")" >>"$work/results.txt"
    echo "run $run: $(tail -2 "$work/results.txt" | tr '\n' ' ')"
done
awk '{ n[$1]++; t[$1] += $2; if (!($1 in best) || $2 < best[$1]) best[$1] = $2;
       if ($3 > rss[$1]) rss[$1] = $3 }
     END { for (k in n) printf "%-8s mean %.2f s, best %.2f s, peak RSS %.0f MiB\n",
                               k, t[k] / n[k], best[k], rss[k] / 1024;
           printf "satpy / segweld, mean wall time: %.2f\n",
                  (t["satpy"] / n["satpy"]) / (t["segweld"] / n["segweld"]) }' \
    "$work/results.txt"
echo "Written: segweld $(du -cb "$work"/segweld/*.nc | tail -1 | cut -f1) bytes in" \
    "$(ls "$work"/segweld/*.nc | wc -l) files; satpy $(du -b "$work/satpy/slot.nc" | cut -f1)" \
    "bytes in 1 file"
