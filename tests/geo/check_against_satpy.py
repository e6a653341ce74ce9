#!/usr/bin/python3
"""Compares the GeoTIFFs of `segweld --geotiff` with satpy's reading of the
same segments: the calibrated values (brightness temperature within 0.01 K,
radiance and reflectance within 1e-5 relative, counts equal), where pixels
hold no data, and the projection coordinates of the pixel centres (within
1 m), HRV windows included.

    check_against_satpy.py BIN_FOLDER sample      # products of segweld-sample
    check_against_satpy.py BIN_FOLDER realdata    # the real MSG2 files

`sample` checks full-disk IR_108, VIS006 and HRV products of MSG1, and one
segment of every channel of MSG1 to MSG4 in each channel's default quantity
(every published coefficient), with spectral radiances too; and that
gdalinfo, rasterio and satpy's generic_image reader read the time and the
unit back. `realdata` checks IR_108 and HRV of 2010-10-11 14:00 from the
folder named by SEGWELD_REALDATA, else the `shared/realdata` folder beside
the repository; without it, it says so and exits with 77 (skipped).

satpy keeps the image as stored (south up, east left) with its area flipped
to match; the GeoTIFF is north up, east right.
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
KELVIN_TOLERANCE = 0.01
RELATIVE_TOLERANCE = 1e-5
METRE_TOLERANCE = 1.0


class Comparison:
    """Collects what differs, and the largest differences seen."""

    def __init__(self):
        self.failures = []
        self.worst = {}

    def note(self, kind, value):
        self.worst[kind] = max(self.worst.get(kind, 0.0), value)

    def fail(self, text):
        print("FAIL: " + text)
        self.failures.append(text)


def default_calibration(channel):
    return "reflectance" if channel in SOLAR else "brightness_temperature"


def segweld_option(calibration):
    return {"brightness_temperature": "bt"}.get(calibration, calibration)


def write_geotiff(bin_folder, segment, out_folder, calibration, fill_gaps=False):
    """Runs segweld --geotiff; returns the GeoTIFF's path."""
    for old in glob.glob(os.path.join(out_folder, "*.tif")):
        os.remove(old)
    command = [os.path.join(bin_folder, "segweld"), "--geotiff",
               "--calibration", segweld_option(calibration)]
    command += ["--fill-gaps"] if fill_gaps else []
    result = subprocess.run(command + [segment, out_folder], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError("segweld failed: " + result.stderr)
    return glob.glob(os.path.join(out_folder, "*.tif"))[0]


def satpy_images(folder, channels, calibration, whole=True):
    """satpy's images of `channels` by channel: their values, north up and
    east right, and the projection coordinates of their columns and rows.
    Unless `whole`, the missing segments are not padded: an image holds the
    present ones alone."""
    from satpy import Scene
    import numpy as np
    scene = Scene(reader="seviri_l1b_hrit", filenames=glob.glob(os.path.join(folder, "H-000-*")))
    scene.load(channels, calibration=calibration, pad_data=whole)
    images = {}
    for channel in channels:
        data = scene[channel]
        x, y = data.attrs["area"].get_proj_vectors()
        images[channel] = (np.flipud(np.fliplr(data.values)), x[::-1], y[::-1])
    return images


def geotiff_image(path):
    from osgeo import gdal
    dataset = gdal.Open(path)
    values = dataset.GetRasterBand(1).ReadAsArray()
    return values, dataset.GetGeoTransform()


def compare_values(check, label, ours, theirs, calibration):
    import numpy as np
    if calibration == "counts":
        theirs = np.nan_to_num(theirs, nan=0).astype(ours.dtype)
        differing = int(np.count_nonzero(ours != theirs))
        print(f"{label}: {differing} counts differ")
        if differing:
            check.fail(f"{label}: {differing} counts differ")
        return
    holes = np.isnan(theirs)
    if not np.array_equal(holes, np.isnan(ours)):
        check.fail(f"{label}: nodata lies elsewhere than satpy's "
                   f"({np.count_nonzero(holes != np.isnan(ours))} pixels)")
    both = ~holes & ~np.isnan(ours)
    a, b = ours[both].astype(np.float64), theirs[both].astype(np.float64)
    if calibration == "brightness_temperature":
        worst = float(np.max(np.abs(a - b), initial=0.0))
        check.note("brightness temperature (K)", worst)
        bad = worst > KELVIN_TOLERANCE
    else:
        scale = np.maximum(np.abs(b), np.finfo(np.float32).tiny)
        worst = float(np.max(np.abs(a - b) / scale, initial=0.0))
        check.note(calibration + " (relative)", worst)
        bad = worst > RELATIVE_TOLERANCE
    print(f"{label}: {both.sum()} values, largest difference {worst:.3g}")
    if bad:
        check.fail(f"{label}: values differ by {worst:.3g}")


def compare(check, label, path, image, calibration):
    """Compares the GeoTIFF with satpy's image where satpy's lies in it."""
    ours, gt = geotiff_image(path)
    theirs, x, y = image
    # satpy's first pixel in the GeoTIFF's grid, and how far their centres lie apart.
    col = round((x[0] - gt[0]) / gt[1] - 0.5)
    row = round((y[0] - gt[3]) / gt[5] - 0.5)
    rows, cols = theirs.shape
    if row < 0 or col < 0 or row + rows > ours.shape[0] or col + cols > ours.shape[1]:
        check.fail(f"{label}: satpy's {theirs.shape} pixels do not lie within the GeoTIFF's "
                   f"{ours.shape}")
        return
    worst = max(abs(gt[0] + (col + i + 0.5) * gt[1] - x[i]) for i in (0, cols - 1))
    worst = max([worst] + [abs(gt[3] + (row + j + 0.5) * gt[5] - y[j]) for j in (0, rows - 1)])
    check.note("pixel centre (m)", worst)
    if worst > METRE_TOLERANCE:
        check.fail(f"{label}: pixel centres lie {worst:.3f} m from satpy's")
    compare_values(check, label, ours[row:row + rows, col:col + cols], theirs, calibration)


def sample(bin_folder, work, options):
    """Writes a sample product into a folder named by the options but for
    --channel and --segments (products of several channels may share it);
    returns the folder and the path of segment 1."""
    own = [option for i, option in enumerate(options)
           if option not in ("--channel", "--segments") and
           (i == 0 or options[i - 1] not in ("--channel", "--segments"))]
    folder = os.path.join(work, "-".join(own) or "default")
    result = subprocess.run([os.path.join(bin_folder, "segweld-sample")] + options + [folder],
                            capture_output=True, text=True, check=True)
    return folder, result.stdout.strip()


def check_metadata(check, path):
    """gdalinfo, rasterio and satpy's generic_image read the time and unit back."""
    info = json.loads(subprocess.run(["gdalinfo", "-json", path], capture_output=True,
                                     text=True, check=True).stdout)
    band = info["bands"][0]
    gdal_view = (info["metadata"][""].get("TIFFTAG_DATETIME"), band.get("unit"))
    import rasterio
    with rasterio.open(path) as dataset:
        rasterio_view = (dataset.tags().get("TIFFTAG_DATETIME"), dataset.units[0])
    from satpy import Scene
    scene = Scene(reader="generic_image", filenames=[path])
    scene.load(["image"])
    attrs = scene["image"].attrs
    satpy_view = (attrs.get("TIFFTAG_DATETIME"), attrs.get("units", [None])[0])
    expected = ("2007:06:15 12:00:00", "K")
    for reader, view in (("gdalinfo", gdal_view), ("rasterio", rasterio_view),
                         ("satpy generic_image", satpy_view)):
        print(f"{reader}: time {view[0]}, unit {view[1]}")
        if view != expected:
            check.fail(f"{reader} reads {view}, not {expected}")
    if attrs.get("NOMINAL_TIME") != "2007-06-15T12:00:00Z":
        check.fail("satpy generic_image reads no NOMINAL_TIME")


def check_sample(check, bin_folder, work):
    out = os.path.join(work, "out")
    os.makedirs(out)
    folder, first = sample(bin_folder, work, [])
    for calibration in ("counts", "radiance", "brightness_temperature"):
        path = write_geotiff(bin_folder, first, out, calibration)
        image = satpy_images(folder, ["IR_108"], calibration)["IR_108"]
        compare(check, f"MSG1 IR_108 {calibration}", path, image, calibration)
    check_metadata(check, path)
    for options, channel, calibrations in ((["--channel", "VIS006"], "VIS006",
                                            ("radiance", "reflectance")),
                                           (["--hrv"], "HRV", ("reflectance",))):
        folder, first = sample(bin_folder, work, options)
        for calibration in calibrations:
            path = write_geotiff(bin_folder, first, out, calibration)
            image = satpy_images(folder, [channel], calibration)[channel]
            compare(check, f"MSG1 {channel} {calibration}", path, image, calibration)
        shutil.rmtree(folder)
    # One segment of every channel in its default quantity: every coefficient
    # of each satellite, and the fits for spectral radiances.
    thermal = [channel for channel in CHANNELS if channel not in SOLAR]
    for label, options, channels in (
            ("MSG1", ["--satellite", "MSG1"], CHANNELS),
            ("MSG2", ["--satellite", "MSG2"], CHANNELS),
            ("MSG3", ["--satellite", "MSG3"], CHANNELS),
            ("MSG4", ["--satellite", "MSG4"], CHANNELS),
            ("MSG1 spectral radiance", ["--spectral-radiance"], thermal)):
        firsts = {}
        for channel in channels:
            folder, firsts[channel] = sample(bin_folder, work,
                                             options + ["--segments", "1", "--channel", channel])
        for calibration in ("reflectance", "brightness_temperature"):
            chosen = [channel for channel in channels if default_calibration(channel) == calibration]
            if not chosen:
                continue
            images = satpy_images(folder, chosen, calibration, whole=False)
            for channel in chosen:
                path = write_geotiff(bin_folder, firsts[channel], out, calibration)
                compare(check, f"{label} {channel} {calibration}", path, images[channel],
                        calibration)
        shutil.rmtree(folder)


def find_realdata():
    """The real MSG2 files' folder; None, having said why, where there is none."""
    repository = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    candidates = [os.environ.get("SEGWELD_REALDATA"),
                  os.path.join(os.path.dirname(repository), "shared", "realdata")]
    for folder in filter(None, candidates):
        if glob.glob(os.path.join(folder, "H-000-MSG2__-*-PRO______-201010111400-__")):
            return folder
    print("SKIPPED: no real MSG2 files (looked in " +
          " and ".join(filter(None, candidates)) + "; SEGWELD_REALDATA names another folder)")
    return None


def check_realdata(check, bin_folder, work, realdata):
    folder = os.path.join(work, "realdata")
    shutil.copytree(realdata, folder)
    out = os.path.join(work, "out")
    os.makedirs(out, exist_ok=True)
    products = (("IR_108", "000004", ("counts", "radiance", "brightness_temperature")),
                ("HRV", "000012", ("counts", "radiance", "reflectance")))
    for channel, number, calibrations in products:
        segment = os.path.join(
            folder, f"H-000-MSG2__-MSG2________-{channel:_<9}-{number}___-201010111400-__")
        for calibration in calibrations:
            # Segments 1 to 3 are missing: --fill-gaps walks on to the real ones.
            path = write_geotiff(bin_folder, segment, out, calibration, fill_gaps=True)
            image = satpy_images(folder, [channel], calibration, whole=False)[channel]
            compare(check, f"real MSG2 {channel} {calibration}", path, image, calibration)


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
    check = Comparison()
    with tempfile.TemporaryDirectory(prefix="segweld-satpy-") as work:
        if which == "sample":
            check_sample(check, bin_folder, work)
        else:
            check_realdata(check, bin_folder, work, realdata)
    for kind, value in sorted(check.worst.items()):
        print(f"largest difference, {kind}: {value:.3g}")
    print(f"{len(check.failures)} failures")
    return 1 if check.failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in ("sample", "realdata"):
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
