#!/usr/bin/python3
"""Compares the GeoTIFFs of `segweld --geotiff` with satpy's reading of the
same segments: the values (brightness temperature within 0.01 K, radiance and
reflectance within 1e-5 relative, counts equal), where nodata lies (the HRV
windows among it) and the pixel centres (within 1 m).

    check_against_satpy.py BIN_FOLDER sample      # products of segweld-sample
    check_against_satpy.py BIN_FOLDER realdata    # the real MSG2 files

`sample`: full-disk IR_108, VIS006 and HRV of MSG1; one segment of every
channel of MSG1 to MSG4 (every published coefficient), and of every thermal
channel in spectral radiance; gdalinfo, rasterio and satpy's generic_image
read the time and unit back. `realdata`: IR_108 and HRV of 2010-10-11 14:00
from SEGWELD_REALDATA, else `shared/realdata` beside the repository; without
them it says so and exits with 77 (skipped).
"""
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile
import warnings

SKIPPED = 77
CHANNELS = ["VIS006", "VIS008", "IR_016", "IR_039", "WV_062", "WV_073",
            "IR_087", "IR_097", "IR_108", "IR_120", "IR_134", "HRV"]
SOLAR = {"VIS006", "VIS008", "IR_016", "HRV"}
BT, REFLECTANCE = "brightness_temperature", "reflectance"
failures = []
worst = {}


def fail(text):
    print("FAIL: " + text)
    failures.append(text)


def note(kind, value, tolerance, label):
    worst[kind] = max(worst.get(kind, 0.0), value)
    if value > tolerance:
        fail(f"{label}: {kind} differs by {value:.3g}")


def default_calibration(channel):
    return REFLECTANCE if channel in SOLAR else BT


def write_geotiff(bin_folder, segment, out, calibration, fill_gaps=False):
    """Runs segweld --geotiff; returns the GeoTIFF's path."""
    for old in glob.glob(os.path.join(out, "*.tif")):
        os.remove(old)
    command = [os.path.join(bin_folder, "segweld"), "--geotiff", "--calibration",
               "bt" if calibration == BT else calibration] + (["--fill-gaps"] if fill_gaps else [])
    result = subprocess.run(command + [segment, out], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError("segweld failed: " + result.stderr)
    return glob.glob(os.path.join(out, "*.tif"))[0]


def satpy_images(folder, channels, calibration, whole=True):
    """satpy's images by channel, north up and east right (satpy keeps them
    as stored), with the projection coordinates of their columns and rows.
    Unless `whole`, an image holds the segments present alone."""
    from satpy import Scene
    import numpy as np
    scene = Scene(reader="seviri_l1b_hrit", filenames=glob.glob(os.path.join(folder, "H-000-*")))
    scene.load(channels, calibration=calibration, pad_data=whole)
    images = {}
    for channel in channels:
        x, y = scene[channel].attrs["area"].get_proj_vectors()
        images[channel] = (np.flipud(np.fliplr(scene[channel].values)), x[::-1], y[::-1])
    return images


def compare(label, path, image, calibration):
    """Compares the GeoTIFF with satpy's image where satpy's lies in it."""
    import numpy as np
    from osgeo import gdal
    dataset = gdal.Open(path)
    ours, gt = dataset.GetRasterBand(1).ReadAsArray(), dataset.GetGeoTransform()
    theirs, x, y = image
    col, row = round((x[0] - gt[0]) / gt[1] - 0.5), round((y[0] - gt[3]) / gt[5] - 0.5)
    rows, cols = theirs.shape
    if row < 0 or col < 0 or row + rows > ours.shape[0] or col + cols > ours.shape[1]:
        return fail(f"{label}: satpy's {theirs.shape} pixels lie outside the GeoTIFF's")
    centres = [abs(gt[0] + (col + i + 0.5) * gt[1] - x[i]) for i in (0, cols - 1)]
    centres += [abs(gt[3] + (row + j + 0.5) * gt[5] - y[j]) for j in (0, rows - 1)]
    note("pixel centre (m)", max(centres), 1.0, label)
    ours = ours[row:row + rows, col:col + cols]
    if calibration == "counts":
        differing = np.count_nonzero(ours != np.nan_to_num(theirs, nan=0).astype(ours.dtype))
        print(f"{label}: {differing} counts differ")
        return note("counts", differing, 0, label)
    holes = np.isnan(theirs)
    if not np.array_equal(holes, np.isnan(ours)):
        fail(f"{label}: nodata differs from satpy's in "
             f"{np.count_nonzero(holes != np.isnan(ours))} pixels")
    both = ~holes & ~np.isnan(ours)
    a, b = ours[both].astype(np.float64), theirs[both].astype(np.float64)
    difference = np.abs(a - b)
    if calibration == BT:
        kind, value, tolerance = "brightness temperature (K)", difference.max(initial=0), 0.01
    else:
        relative = difference / np.maximum(np.abs(b), np.finfo(np.float32).tiny)
        kind, value, tolerance = calibration + " (relative)", relative.max(initial=0), 1e-5
    print(f"{label}: {both.sum()} values, largest difference {value:.3g}")
    note(kind, float(value), tolerance, label)


def sample(bin_folder, work, options, channel=None, segments=None):
    """Writes a sample product into a folder named by `options`, which
    products of several channels share; returns it and segment 1's path."""
    folder = os.path.join(work, "-".join(options) or "default")
    extra = (["--channel", channel] if channel else []) + (["--segments", "1"] if segments else [])
    result = subprocess.run([os.path.join(bin_folder, "segweld-sample")] + options + extra +
                            [folder], capture_output=True, text=True, check=True)
    return folder, result.stdout.strip()


def check_metadata(path):
    """gdalinfo, rasterio and satpy's generic_image read the time and unit back."""
    info = json.loads(subprocess.run(["gdalinfo", "-json", path], capture_output=True,
                                     text=True, check=True).stdout)
    import rasterio
    from satpy import Scene
    with rasterio.open(path) as dataset:
        views = {"rasterio": (dataset.tags().get("TIFFTAG_DATETIME"), dataset.units[0])}
    views["gdalinfo"] = (info["metadata"][""].get("TIFFTAG_DATETIME"), info["bands"][0].get("unit"))
    scene = Scene(reader="generic_image", filenames=[path])
    scene.load(["image"])
    attrs = scene["image"].attrs
    views["satpy generic_image"] = (attrs.get("TIFFTAG_DATETIME"), attrs.get("units", [None])[0])
    for reader, view in views.items():
        print(f"{reader}: time {view[0]}, unit {view[1]}")
        if view != ("2007:06:15 12:00:00", "K"):
            fail(f"{reader} reads {view}")
    if attrs.get("NOMINAL_TIME") != "2007-06-15T12:00:00Z":
        fail("satpy generic_image reads no NOMINAL_TIME")


def check_sample(bin_folder, work, out):
    for options, channel, calibrations in (([], "IR_108", ("counts", "radiance", BT)),
                                           ([], "VIS006", ("radiance", REFLECTANCE)),
                                           (["--hrv"], "HRV", (REFLECTANCE,))):
        folder, first = sample(bin_folder, work, options, channel if not options else None)
        for calibration in calibrations:
            path = write_geotiff(bin_folder, first, out, calibration)
            image = satpy_images(folder, [channel], calibration)[channel]
            compare(f"MSG1 {channel} {calibration}", path, image, calibration)
            if calibration == BT:
                check_metadata(path)
        shutil.rmtree(folder)
    thermal = [channel for channel in CHANNELS if channel not in SOLAR]
    for options, channels in ((["--satellite", "MSG1"], CHANNELS),
                              (["--satellite", "MSG2"], CHANNELS),
                              (["--satellite", "MSG3"], CHANNELS),
                              (["--satellite", "MSG4"], CHANNELS),
                              (["--spectral-radiance"], thermal)):
        firsts = {channel: sample(bin_folder, work, options, channel, 1) for channel in channels}
        folder = firsts[channels[0]][0]
        for calibration in (REFLECTANCE, BT):
            chosen = [channel for channel in channels if default_calibration(channel) == calibration]
            images = satpy_images(folder, chosen, calibration, whole=False) if chosen else {}
            for channel in chosen:
                path = write_geotiff(bin_folder, firsts[channel][1], out, calibration)
                compare(f"{' '.join(options)} {channel}", path, images[channel], calibration)
        shutil.rmtree(folder)


def find_realdata():
    """The real MSG2 files' folder; None, having said why, where there is none."""
    repository = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    candidates = list(filter(None, [os.environ.get("SEGWELD_REALDATA"),
                                    os.path.join(os.path.dirname(repository), "shared", "realdata")]))
    for folder in candidates:
        if glob.glob(os.path.join(folder, "H-000-MSG2__-*-PRO______-201010111400-__")):
            return folder
    print("SKIPPED: no real MSG2 files (looked in " + " and ".join(candidates) +
          "; SEGWELD_REALDATA names another folder)")
    return None


def check_realdata(bin_folder, work, out, realdata):
    folder = os.path.join(work, "realdata")
    shutil.copytree(realdata, folder)
    for channel, number, calibrations in (("IR_108", 4, ("counts", "radiance", BT)),
                                          ("HRV", 12, ("counts", "radiance", REFLECTANCE))):
        segment = os.path.join(
            folder, f"H-000-MSG2__-MSG2________-{channel:_<9}-{number:06}___-201010111400-__")
        for calibration in calibrations:
            # Segments 1 to 3 are missing: --fill-gaps walks on to the real ones.
            path = write_geotiff(bin_folder, segment, out, calibration, fill_gaps=True)
            image = satpy_images(folder, [channel], calibration, whole=False)[channel]
            compare(f"real MSG2 {channel} {calibration}", path, image, calibration)


def main(bin_folder, which):
    warnings.filterwarnings("ignore")
    try:
        import satpy  # noqa: F401
    except ImportError:
        print("SKIPPED: satpy is not installed (python3-satpy)")
        return SKIPPED
    realdata = find_realdata() if which == "realdata" else None
    if which == "realdata" and realdata is None:
        return SKIPPED
    with tempfile.TemporaryDirectory(prefix="segweld-satpy-") as work:
        out = os.path.join(work, "out")
        os.makedirs(out)
        if realdata:
            check_realdata(bin_folder, work, out, realdata)
        else:
            check_sample(bin_folder, work, out)
    for kind, value in sorted(worst.items()):
        print(f"largest difference, {kind}: {value:.3g}")
    print(f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in ("sample", "realdata"):
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
