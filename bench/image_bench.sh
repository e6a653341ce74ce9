#!/usr/bin/env bash
# Full-disk images side by side, in one alternating run: `segweld --geotiff`,
# satpy (Scene.load and save_dataset with its geotiff writer, float32) and
# `gdal_translate -of COG` of an uncompressed GeoTIFF of the same raster, with
# the same compression as segweld's (DEFLATE, its predictor, nearest-neighbour
# overviews), once as a user runs it (one thread) and once with NUM_THREADS=
# ALL_CPUS. The products are made of the real MSG2 files of
# ../shared/realdata (SEGWELD_REALDATA names another folder): IR_108 segments
# 4 and 5 and HRV segments 12 and 13 copied to every planned segment, each
# copy's header given its own segment number and line offset, beside the
# real prologue and epilogue; and the real two IR_108 segments alone, on the
# full grid (--fill-gaps). Every round runs every command once, in an order
# that turns each round; reports the median wall time, the median peak memory
# and the ratios of the medians.
# Usage: bench/image_bench.sh [BUILD_FOLDER] [ROUNDS]   (defaults: build, 5)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
rounds=${2:-5}
realdata=${SEGWELD_REALDATA:-$(realpath ..)/shared/realdata}
if ! ls "$realdata"/H-000-MSG2__-*-PRO______-201010111400-__ >/dev/null 2>&1; then
    echo "no real MSG2 files in $realdata (SEGWELD_REALDATA names another folder)" >&2
    exit 1
fi

scripts/install-packages time python3-satpy python3-gdal gdal-bin >/dev/null
cmake --build "$build" --target segweld segweld_geotiff >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/segweld-image-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# The products: NAME CHANNEL FIRST_PLANNED LAST_PLANNED SOURCE_SEGMENTS...
/usr/bin/python3 - "$realdata" "$work" <<'EOF'
import glob, os, shutil, struct, sys
realdata, work = sys.argv[1], sys.argv[2]
def records(data):
    total = struct.unpack(">I", data[4:8])[0]
    at = 0
    while at + 3 <= total:
        kind, length = data[at], struct.unpack(">H", data[at + 1:at + 3])[0]
        if length < 3:
            break
        yield kind, at, length
        at += length
def renumbered(data, source, number, lines):
    data = bytearray(data)
    for kind, at, length in records(data):
        if kind == 2:  # image navigation: LOFF at 47
            loff = struct.unpack(">i", data[at + 47:at + 51])[0]
            data[at + 47:at + 51] = struct.pack(">i", loff + (source - number) * lines)
        elif kind == 128:  # segment identification: sequence number at 6
            data[at + 6:at + 8] = struct.pack(">H", number)
        elif kind == 4:  # annotation: the file's name
            text = bytes(data[at + 3:at + length])
            data[at + 3:at + length] = text.replace(b"%06d___" % source, b"%06d___" % number)
    return bytes(data)
def lines_of(data):
    for kind, at, length in records(data):
        if kind == 1:  # image structure: lines at 6
            return struct.unpack(">H", data[at + 6:at + 8])[0]
def product(name, channel, last, sources):
    folder = os.path.join(work, name)
    os.makedirs(folder)
    for companion in glob.glob(os.path.join(realdata, "*-_________-*")):
        shutil.copy(companion, folder)
    files = {s: open(glob.glob(os.path.join(realdata, "*-%s-%06d___-*" % (channel, s)))[0], "rb").read()
             for s in sources}
    template = os.path.basename(glob.glob(os.path.join(realdata, "*-%s-%06d___-*" % (channel, sources[0])))[0])
    for number in range(1, last + 1) if last else sources:
        source = sources[number % len(sources)] if last else number
        data = files[source]
        out = template.replace("%06d___" % sources[0], "%06d___" % number)
        with open(os.path.join(folder, out), "wb") as f:
            f.write(renumbered(data, source, number, lines_of(data)))
product("hrv", "HRV______", 24, [12, 13])
product("ir108", "IR_108___", 8, [4, 5])
product("ir108-real", "IR_108___", 0, [4, 5])
EOF

cat >"$work/satpy_geotiff.py" <<'EOF'
import glob, logging, sys, warnings
warnings.filterwarnings("ignore")
logging.disable(logging.WARNING)
import numpy as np
from satpy import Scene
folder, channel, out = sys.argv[1:4]
scene = Scene(reader="seviri_l1b_hrit", filenames=glob.glob(folder + "/H-000-*"))
scene.load([channel])  # reflectance or brightness temperature, satpy's defaults
scene.save_dataset(channel, filename=out, writer="geotiff", enhance=False, dtype=np.float32)
EOF

# The cases: NAME CHANNEL SEGMENT-1 OPTIONS
cases=(
    "hrv HRV HRV______-000001"
    "ir108 IR_108 IR_108___-000001"
    "ir108-real IR_108 IR_108___-000004 --fill-gaps"
)
mkdir -p "$work/out"
commands=()
for case in "${cases[@]}"; do
    read -r name channel first options <<<"$case"
    segment=$(ls "$work/$name"/*"$first"*)
    # shellcheck disable=SC2086
    "$build/bin/segweld" --geotiff $options "$segment" "$work/out" 2>/dev/null
    tif=$(ls "$work/out"/*.tif)
    mv "$tif" "$work/$name.tif"
    gdal_translate -q -of GTiff "$work/$name.tif" "$work/$name-raw.tif"
    cogOptions="-co COMPRESS=DEFLATE -co PREDICTOR=NO -co OVERVIEW_RESAMPLING=NEAREST"
    commands+=(
        "$name segweld|$build/bin/segweld --geotiff $options $segment $work/out"
        "$name satpy|/usr/bin/python3 $work/satpy_geotiff.py $work/$name $channel $work/out/satpy.tif"
        "$name gdal_translate|gdal_translate -q -of COG $cogOptions $work/$name-raw.tif $work/out/gdal.tif"
        "$name gdal_translate-threads|gdal_translate -q -of COG $cogOptions -co NUM_THREADS=ALL_CPUS $work/$name-raw.tif $work/out/gdal.tif"
    )
done

: >"$work/times.txt"
for ((round = 0; round < rounds; ++round)); do
    count=${#commands[@]}
    for ((i = 0; i < count; ++i)); do
        entry=${commands[$(((i + round) % count))]}
        label=${entry%%|*}
        rm -f "$work"/out/*
        # shellcheck disable=SC2086
        /usr/bin/time -f "%e %M" -o "$work/one.txt" ${entry#*|} >/dev/null 2>&1
        echo "$label $(cat "$work/one.txt")" >>"$work/times.txt"
    done
    echo "round $((round + 1)) of $rounds done" >&2
done

/usr/bin/python3 - "$work/times.txt" <<'EOF'
import collections, statistics, sys
times, memory = collections.defaultdict(list), collections.defaultdict(list)
for line in open(sys.argv[1]):
    case, tool, seconds, kib = line.split()
    times[(case, tool)].append(float(seconds))
    memory[(case, tool)].append(int(kib) / 1024)
cases = list(dict.fromkeys(case for case, _ in times))
tools = ["segweld", "satpy", "gdal_translate", "gdal_translate-threads"]
print("%-11s %-23s %9s %9s %13s" % ("case", "tool", "median s", "peak MiB", "this/segweld"))
for case in cases:
    base = statistics.median(times[(case, "segweld")])
    for tool in tools:
        t = statistics.median(times[(case, tool)])
        print("%-11s %-23s %9.2f %9.0f %13.2f" % (case, tool, t, statistics.median(memory[(case, tool)]), t / base))
EOF
