#!/usr/bin/env bash
# A whole slot in one NetCDF file: the eleven 3 km channels of one full-disk
# sample slot (3712 x 3712 pixels each, in the channels' default quantities)
# written by one WriteNetCdf call (build/bin/netcdf_layers_bench), RUNS times,
# warm files, against satpy loading the same channels and saving them with its
# CF writer into one file, once. Each run's wall time of the writing (reading
# and calibrating the pixels included), its peak RSS and the file's size come
# from the bench program, and the whole process's wall and user time from GNU
# time; satpy's wall time and peak RSS (loading included) from GNU time.
# Usage: bench/netcdf_layers_bench.sh [BUILD_FOLDER] [RUNS]   (default: build 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}

scripts/install-packages time python3-satpy python3-netcdf4
nice cmake --build "$build" --target netcdf_layers_bench segweld-sample >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
channels=(VIS006 VIS008 IR_016 IR_039 WV_062 WV_073 IR_087 IR_097 IR_108 IR_120 IR_134)
for channel in "${channels[@]}"; do
    "$build/bin/segweld-sample" --channel "$channel" "$work/slot" >/dev/null
done
echo "Slot: ${#channels[@]} channels of 8 segments, $(du -sh "$work/slot" | cut -f1)"
echo "Usable processors: $(nproc)"

for run in $(seq "$runs"); do
    rm -f "$work/slot.nc"
    /usr/bin/time -f '%e %U %M' -o "$work/time.txt" \
        "$build/bin/netcdf_layers_bench" "$work/slot" "$work/slot.nc" >"$work/out.txt"
    read -r seconds user kib <"$work/time.txt"
    echo "segweld run $run: $(cat "$work/out.txt"); whole process ${seconds} s, user ${user} s"
done

cat >"$work/satpy_cf.py" <<'PY'
import glob, logging, sys, warnings
warnings.filterwarnings("ignore")
logging.disable(logging.WARNING)
from satpy import Scene
channels = sys.argv[3].split(",")
scene = Scene(reader="seviri_l1b_hrit", filenames=glob.glob(sys.argv[1] + "/H-000-*"))
scene.load(channels)
scene.save_datasets(writer="cf", filename=sys.argv[2], datasets=channels)
PY
list=$(IFS=,; echo "${channels[*]}")
/usr/bin/time -f '%e %U %M' -o "$work/time.txt" /usr/bin/python3 "$work/satpy_cf.py" "$work/slot" \
    "$work/satpy.nc" "$list" >/dev/null 2>"$work/err.txt" || { cat "$work/err.txt" >&2; exit 1; }
read -r seconds _ kib <"$work/time.txt"
echo "satpy CF writer: ${seconds} s, peak RSS $((kib / 1024)) MiB, $(du -b "$work/satpy.nc" | cut -f1) bytes"
