#!/usr/bin/python3
"""Opens the NetCDF files of `segweld --netcdf` as a user would and compares
them with satpy's reading of the same segments and with the GeoTIFF of the
same product: xarray's values against satpy's (brightness temperature within
1e-4 K, radiance and reflectance within 1e-6 relative, counts equal), the
x/y scan angles against satpy's projection vectors, GDAL's netCDF driver's
CRS and geotransform against the GeoTIFF's, and the attributes that
`ncdump -hs` shows.

    check_netcdf.py BIN_FOLDER sample      # products of segweld-sample
    check_netcdf.py BIN_FOLDER realdata    # the real MSG2 files (77: absent)
"""
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import warnings

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_against_satpy as satpy_check  # noqa: E402

BT, REFLECTANCE = satpy_check.BT, satpy_check.REFLECTANCE
HEIGHT = 35785831.0
STANDARD_NAMES = {BT: "toa_brightness_temperature",
                  REFLECTANCE: "toa_bidirectional_reflectance",
                  "radiance": "toa_outgoing_radiance_per_unit_wavenumber"}
# What ncdump -h must show, as patterns of its lines.
HEADER_LINES = [
    r'geostationary:grid_mapping_name = "geostationary"',
    r"geostationary:perspective_point_height = 35785831\.",
    r"geostationary:semi_major_axis = 6378169\.",
    r"geostationary:semi_minor_axis = 6356583\.8",
    r"geostationary:longitude_of_projection_origin = ",
    r'geostationary:sweep_angle_axis = "y"',
    r"geostationary:false_easting = 0\.",
    r"geostationary:false_northing = 0\.",
    r'geostationary:crs_wkt = "PROJCS\[.*Geostationary',
    r'x:standard_name = "projection_x_angular_coordinate"',
    r'y:standard_name = "projection_y_angular_coordinate"',
    r'x:units = "rad"',
    r'time:standard_name = "time"',
    r'time:units = "seconds since 1970-01-01',
    r':_FillValue = ',
    r':coordinates = "time"',
    r':grid_mapping = "geostationary"',
    r':_Shuffle = "true"',
    r":_DeflateLevel = 1",
    r":_ChunkSizes = ",
    r':Conventions = "CF-1.11, ACDD-1.3"',
    r':title = ".*SEVIRI',
    r':platform = "Meteosat-',
    r':instrument = "SEVIRI"',
    r":source = ",
    r":history = ",
    r":date_created = ",
    r":segments_joined = ",
    r":segments_missing = ",
    r":segments_filled = ",
    r":georeferencing_offset = ",
    r':sensor = "SEVIRI"',
    r':calibration_coefficients = "nominal"',
    r':time_coverage_start = "20\d\d-\d\d-\d\dT\d\d:\d\d:\d\d\.\d\d\dZ"',
    r"time:scan_end_time = ",
]


def write(bin_folder, option, segment, out, calibration, fill_gaps=False):
    """Runs segweld with `option` (--netcdf or --geotiff); returns the path."""
    extension = ".nc" if option == "--netcdf" else ".tif"
    for old in glob.glob(os.path.join(out, "*" + extension)):
        os.remove(old)
    command = [os.path.join(bin_folder, "segweld"), option, "--calibration",
               "bt" if calibration == BT else calibration] + (["--fill-gaps"] if fill_gaps else [])
    result = subprocess.run(command + [segment, out], capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError("segweld failed: " + result.stderr)
    return glob.glob(os.path.join(out, "*" + extension))[0]


def compare_values(label, ours, theirs, calibration):
    import numpy as np
    if calibration == "counts":
        # xarray reads the fill value 0 as NaN, as satpy gives nodata.
        differing = np.count_nonzero(np.nan_to_num(ours, nan=0) != np.nan_to_num(theirs, nan=0))
        return satpy_check.note("counts", differing, 0, label)
    holes = np.isnan(theirs)
    if not np.array_equal(holes, np.isnan(ours)):
        satpy_check.fail(f"{label}: NaN differs from satpy's in "
                         f"{np.count_nonzero(holes != np.isnan(ours))} pixels")
    both = ~holes & ~np.isnan(ours)
    a, b = ours[both].astype(np.float64), theirs[both].astype(np.float64)
    difference = np.abs(a - b)
    if calibration == BT:
        kind, value, tolerance = "brightness temperature (K)", difference.max(initial=0), 1e-4
    else:
        relative = difference / np.maximum(np.abs(b), np.finfo(np.float32).tiny)
        kind, value, tolerance = calibration + " (relative)", relative.max(initial=0), 1e-6
    print(f"{label}: {both.sum()} values, largest difference {value:.3g}")
    satpy_check.note(kind, float(value), tolerance, label)


def compare(label, path, channel, image, calibration):
    """xarray's reading of the file against satpy's image where it lies."""
    import numpy as np
    import xarray
    theirs, x, y = image
    with xarray.open_dataset(path) as dataset:
        variable = dataset[channel]
        ours = variable.values
        xs, ys = dataset["x"].values * HEIGHT, dataset["y"].values * HEIGHT
        if calibration != "counts" and variable.attrs.get("standard_name") != STANDARD_NAMES[
                calibration]:
            satpy_check.fail(f"{label}: standard_name {variable.attrs.get('standard_name')}")
        if "time" not in variable.coords or dataset["time"].values.dtype.kind != "M":
            satpy_check.fail(f"{label}: xarray reads no time coordinate")
    col = int(np.argmin(np.abs(xs - x[0])))
    row = int(np.argmin(np.abs(ys - y[0])))
    rows, cols = theirs.shape
    if row + rows > ours.shape[0] or col + cols > ours.shape[1]:
        return satpy_check.fail(f"{label}: satpy's pixels lie outside the file's")
    centres = np.concatenate([np.abs(xs[col:col + cols] - x), np.abs(ys[row:row + rows] - y)])
    satpy_check.note("pixel centre (m)", float(centres.max()), 1.0, label)
    compare_values(label, ours[row:row + rows, col:col + cols], theirs, calibration)


def compare_with_geotiff(label, netcdf, geotiff):
    """GDAL's netCDF driver sees the geostationary CRS and the GeoTIFF's
    geotransform; ncdump -h shows the attributes."""
    from osgeo import gdal
    gdal.UseExceptions()
    ours = gdal.Open(netcdf)
    if ours.RasterCount == 0:
        ours = gdal.Open(ours.GetSubDatasets()[0][0])
    reference = gdal.Open(geotiff)
    if "Geostationary" not in ours.GetProjection() and "geos" not in ours.GetProjection():
        satpy_check.fail(f"{label}: GDAL reads the CRS {ours.GetProjection()[:80]}")
    gt, expected = ours.GetGeoTransform(), reference.GetGeoTransform()
    # GDAL before 3.7 takes the angular coordinates as they are, in radians:
    # the satellite's height makes them the GeoTIFF's metres.
    if abs(gt[1]) < 1e-2:
        print(f"{label}: GDAL reads x/y in radians; scaled by the satellite's height")
        gt = [value * HEIGHT for value in gt]
    difference = max(abs(a - b) for a, b in zip(gt, expected))
    print(f"{label}: geotransform {gt} vs the GeoTIFF's, largest difference {difference:.3g} m")
    satpy_check.note("geotransform (m)", difference, 1e-3, label)
    header = subprocess.run(["ncdump", "-hs", netcdf], capture_output=True, text=True,
                            check=True).stdout
    for pattern in HEADER_LINES:
        if not re.search(pattern, header):
            satpy_check.fail(f"{label}: ncdump -h shows no line like {pattern}")


def check(bin_folder, folder, segment, out, channel, calibrations, fill_gaps=False,
          whole=True, geotiff_for=None):
    for calibration in calibrations:
        label = f"{os.path.basename(folder)} {channel} {calibration}"
        path = write(bin_folder, "--netcdf", segment, out, calibration, fill_gaps)
        image = satpy_check.satpy_images(folder, [channel], calibration, whole)[channel]
        compare(label, path, channel, image, calibration)
        if calibration == geotiff_for:
            compare_with_geotiff(label, path, write(bin_folder, "--geotiff", segment, out,
                                                    calibration, fill_gaps))


def main(bin_folder, which):
    warnings.filterwarnings("ignore")
    try:
        import satpy  # noqa: F401
        import xarray  # noqa: F401
    except ImportError:
        print("SKIPPED: satpy or xarray is not installed (python3-satpy, python3-xarray)")
        return satpy_check.SKIPPED
    realdata = satpy_check.find_realdata() if which == "realdata" else None
    if which == "realdata" and realdata is None:
        return satpy_check.SKIPPED
    with tempfile.TemporaryDirectory(prefix="segweld-netcdf-") as work:
        out = os.path.join(work, "out")
        os.makedirs(out)
        if realdata:
            folder = os.path.join(work, "realdata")
            shutil.copytree(realdata, folder)
            for channel, number, calibrations in (("IR_108", 4, ("counts", "radiance", BT)),
                                                  ("HRV", 12, ("counts", REFLECTANCE))):
                segment = os.path.join(folder, f"H-000-MSG2__-MSG2________-{channel:_<9}-"
                                               f"{number:06}___-201010111400-__")
                check(bin_folder, folder, segment, out, channel, calibrations, True, False,
                      calibrations[-1])
        else:
            for options, channel, calibrations in (
                    ([], "IR_108", ("counts", "radiance", BT)),
                    (["--satellite", "MSG3"], "VIS006", (REFLECTANCE,)),
                    (["--hrv"], "HRV", (REFLECTANCE,))):
                folder, first = satpy_check.sample(bin_folder, work, options,
                                                   channel if options != ["--hrv"] else None)
                check(bin_folder, folder, first, out, channel, calibrations,
                      geotiff_for=calibrations[-1])
                shutil.rmtree(folder)
    for kind, value in sorted(satpy_check.worst.items()):
        print(f"largest difference, {kind}: {value:.3g}")
    print(f"{len(satpy_check.failures)} failures")
    return 1 if satpy_check.failures else 0


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[2] not in ("sample", "realdata"):
        print(__doc__)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
