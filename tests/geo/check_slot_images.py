#!/usr/bin/python3
"""Opens the images of whole time slots as a user would: a slot of sample
products (VIS006, IR_108 and HRV of one nominal time; the nine other channels
absent) through `segweld --slots --netcdf`, `segweld --slots --geotiff` and
`segweld --batch --slots --netcdf`.

- NetCDF: xarray's values of each channel equal satpy's, the 3 km channels
  share x and y, HRV has its own x_hrv and y_hrv, the absent channels are
  named and have no variable.
- GeoTIFF: one multi-band file of the 3 km channels and one of HRV, each band
  equal, pixel for pixel, to the product's own GeoTIFF, with its description,
  unit and channel; the absent channels named.
- --batch: the slot's manifest names the NetCDF file it wrote.

    check_slot_images.py BIN_FOLDER
"""
import functools
import glob
import json
import os
import subprocess
import sys
import tempfile
import warnings

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_against_satpy as satpy_check  # noqa: E402
import check_netcdf  # noqa: E402

BT, REFLECTANCE = satpy_check.BT, satpy_check.REFLECTANCE
SLOT = "h-msg1-0deg-200706151200"
PRESENT = {"VIS006": REFLECTANCE, "IR_108": BT, "HRV": REFLECTANCE}
ABSENT = ["VIS008", "IR_016", "IR_039", "WV_062", "WV_073", "IR_087", "IR_097", "IR_120",
          "IR_134"]


@functools.lru_cache(maxsize=None)
def satpy_image(folder, channel, calibration):
    return satpy_check.satpy_images(folder, [channel], calibration)[channel]


def segweld(bin_folder, *arguments):
    result = subprocess.run([os.path.join(bin_folder, "segweld"), *arguments],
                            capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"segweld {' '.join(arguments)} failed: {result.stderr}")
    return result.stderr


def check_netcdf_slot(label, path, folder):
    import numpy as np
    import xarray
    with xarray.open_dataset(path) as dataset:
        absent = dataset.attrs.get("channels_absent", "").split()
        if absent != ABSENT or any(channel in dataset for channel in ABSENT):
            satpy_check.fail(f"{label}: channels_absent {absent}, variables {list(dataset)}")
        for channel in ("VIS006", "IR_108"):
            if dataset[channel].dims != ("y", "x"):
                satpy_check.fail(f"{label}: {channel} on {dataset[channel].dims}")
        if dataset["HRV"].dims != ("y_hrv", "x_hrv"):
            satpy_check.fail(f"{label}: HRV on {dataset['HRV'].dims}")
        ours = {channel: dataset[channel].values for channel in PRESENT}
        axes = {channel: dataset["x_hrv" if channel == "HRV" else "x"].values * check_netcdf.HEIGHT
                for channel in PRESENT}
        rows = {channel: dataset["y_hrv" if channel == "HRV" else "y"].values * check_netcdf.HEIGHT
                for channel in PRESENT}
    for channel, calibration in PRESENT.items():
        theirs, x, y = satpy_image(folder, channel, calibration)
        col = int(np.argmin(np.abs(axes[channel] - x[0])))
        row = int(np.argmin(np.abs(rows[channel] - y[0])))
        height, width = theirs.shape
        check_netcdf.compare_values(f"{label} {channel}",
                                    ours[channel][row:row + height, col:col + width], theirs,
                                    calibration)


def check_geotiff_slot(label, bin_folder, folder, segment, out):
    """Each band against the product's own GeoTIFF, bit for bit."""
    import numpy as np
    from osgeo import gdal
    gdal.UseExceptions()
    files = {"": ["VIS006", "IR_108"], "-hrv": ["HRV"]}
    for suffix, channels in files.items():
        dataset = gdal.Open(os.path.join(out, SLOT + suffix + ".tif"))
        if dataset.RasterCount != len(channels):
            satpy_check.fail(f"{label}{suffix}: {dataset.RasterCount} bands")
            continue
        if dataset.GetMetadataItem("CHANNELS_ABSENT") != " ".join(ABSENT):
            satpy_check.fail(f"{label}{suffix}: CHANNELS_ABSENT "
                             f"{dataset.GetMetadataItem('CHANNELS_ABSENT')}")
        for index, channel in enumerate(channels, 1):
            band = dataset.GetRasterBand(index)
            own_folder = os.path.join(out, "own")
            os.makedirs(own_folder, exist_ok=True)
            own_segment = glob.glob(os.path.join(folder, f"*-{channel:_<9}-000001___-*"))[0]
            segweld(bin_folder, "--geotiff", own_segment, own_folder)
            own = gdal.Open(glob.glob(os.path.join(own_folder, "*.tif"))[0])
            reference = own.GetRasterBand(1)
            differing = np.count_nonzero(
                np.nan_to_num(band.ReadAsArray(), nan=-1) !=
                np.nan_to_num(reference.ReadAsArray(), nan=-1))
            satpy_check.note("pixels differing from the product's GeoTIFF", differing, 0,
                             f"{label} {channel}")
            said = (band.GetDescription(), band.GetUnitType(), band.GetMetadataItem("CHANNEL"))
            wanted = (reference.GetDescription(), reference.GetUnitType(), channel)
            if said != wanted:
                satpy_check.fail(f"{label} {channel}: band says {said}, not {wanted}")
            if dataset.GetGeoTransform() != own.GetGeoTransform():
                satpy_check.fail(f"{label} {channel}: geotransform differs")
            own = None
            for old in glob.glob(os.path.join(own_folder, "*")):
                os.remove(old)


# Runs that leave channels out, or write nothing: options, the exit status,
# what the message holds, and the bands of the slot's 3 km GeoTIFF (None:
# no file, and an older one of its name untouched).
EDGES = [
    (["--calibration", "reflectance", "--slot-channels", "VIS006,IR_108"], 0,
     "IR_108 left out of slot", ["VIS006"]),
    (["--slot-channels", "IR_108,WV_062"], 0, "absent: WV_062", ["IR_108"]),
    (["--calibration", "bt", "--slot-channels", "VIS006"], 1,
     "no channel of the slot makes an image", None),
    (["--slot-channels", "WV_062"], 1, "has no segment of the channels wanted", None),
]


def check_edges(bin_folder, segment, out):
    from osgeo import gdal
    gdal.UseExceptions()
    path = os.path.join(out, SLOT + ".tif")
    for options, status, message, bands in EDGES:
        label = "slot GeoTIFF " + " ".join(options)
        with open(path, "w") as older:
            older.write("older")
        result = subprocess.run([os.path.join(bin_folder, "segweld"), "--slots", "--geotiff",
                                 *options, segment, out], capture_output=True, text=True)
        if result.returncode != status or message not in result.stderr:
            satpy_check.fail(f"{label}: exit status {result.returncode}: {result.stderr}")
        if bands is None:
            if open(path).read() != "older" or len(os.listdir(out)) != 1:
                satpy_check.fail(f"{label}: the folder holds {os.listdir(out)}")
            continue
        dataset = gdal.Open(path)
        written = [dataset.GetRasterBand(i + 1).GetMetadataItem("CHANNEL")
                   for i in range(dataset.RasterCount)]
        if written != bands or dataset.GetMetadataItem("CHANNELS") != " ".join(bands):
            satpy_check.fail(f"{label}: bands {written}")
        dataset = None
        os.remove(path)


def check_batch(label, bin_folder, folder, out):
    os.makedirs(out)
    segweld(bin_folder, "--batch", "--slots", "--netcdf", folder, out)
    manifest = json.load(open(os.path.join(out, SLOT + ".slot.json")))
    images = manifest.get("images")
    if images != [os.path.join(out, SLOT + ".nc")]:
        return satpy_check.fail(f"{label}: the manifest names the images {images}")
    check_netcdf_slot(label, images[0], folder)


def main(bin_folder):
    warnings.filterwarnings("ignore")
    try:
        import satpy  # noqa: F401
        import xarray  # noqa: F401
    except ImportError:
        print("SKIPPED: satpy or xarray is not installed (python3-satpy, python3-xarray)")
        return satpy_check.SKIPPED
    with tempfile.TemporaryDirectory(prefix="segweld-slot-") as work:
        folder = os.path.join(work, "slot")
        for channel in PRESENT:
            subprocess.run([os.path.join(bin_folder, "segweld-sample"), "--channel", channel,
                            folder], capture_output=True, check=True)
        segment = glob.glob(os.path.join(folder, "*-IR_108___-000003___-*"))[0]
        for option in ("--netcdf", "--geotiff"):
            out = os.path.join(work, option.strip("-"))
            os.makedirs(out)
            said = segweld(bin_folder, "--slots", option, segment, out)
            print(said.strip())
            if option == "--netcdf":
                check_netcdf_slot("slot NetCDF", os.path.join(out, SLOT + ".nc"), folder)
            else:
                check_geotiff_slot("slot GeoTIFF", bin_folder, folder, segment, out)
        edges = os.path.join(work, "edges")
        os.makedirs(edges)
        check_edges(bin_folder, segment, edges)
        check_batch("batch slot NetCDF", bin_folder, folder, os.path.join(work, "batch"))
    for kind, value in sorted(satpy_check.worst.items()):
        print(f"largest difference, {kind}: {value:.3g}")
    print(f"{len(satpy_check.failures)} failures")
    return 1 if satpy_check.failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
