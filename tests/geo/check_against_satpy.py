#!/usr/bin/python3
"""Compares a GeoTIFF from `segweld --geotiff` with satpy's reading of the same
segments (run by hand; needs python3-satpy and python3-gdal):

    build/bin/segweld-sample /tmp/p && build/bin/segweld --geotiff /tmp/p/<segment 1> /tmp/o
    /usr/bin/python3 tests/geo/check_against_satpy.py /tmp/p /tmp/o/<name>.tif

satpy keeps the image as stored (south up, east left) with its area flipped to
match; the GeoTIFF is north up, east right. Checks the projection parameters,
the coordinates of every corner pixel's centre and the counts themselves.
"""
import glob
import sys

import numpy as np
from osgeo import gdal
from satpy import Scene


def main(product_folder, geotiff_path):
    scene = Scene(reader="seviri_l1b_hrit", filenames=glob.glob(product_folder + "/H-000-*"))
    scene.load(["IR_108"], calibration="counts")
    data = scene["IR_108"]
    area = data.attrs["area"]
    counts = np.flipud(np.fliplr(data.values))  # north up, east right
    x_satpy, y_satpy = area.get_proj_coords()
    x_satpy, y_satpy = np.flipud(np.fliplr(x_satpy)), np.flipud(np.fliplr(y_satpy))

    tif = gdal.Open(geotiff_path)
    gt = tif.GetGeoTransform()
    pixels = tif.GetRasterBand(1).ReadAsArray()
    rows, cols = pixels.shape
    print("satpy offset corrected:", data.attrs.get("georef_offset_corrected"))
    print("GeoTIFF:", tif.GetMetadataItem("GEOREFERENCING_OFFSET"))

    crs = area.crs.to_dict()
    print("satpy:  ", {key: crs.get(key) for key in ("proj", "lon_0", "h", "a", "rf")})
    print("GeoTIFF:", tif.GetSpatialRef().ExportToProj4())
    worst = 0.0
    for row, col in ((0, 0), (0, cols - 1), (rows - 1, 0), (rows - 1, cols - 1), (rows // 2, cols // 2)):
        x = gt[0] + (col + 0.5) * gt[1]
        y = gt[3] + (row + 0.5) * gt[5]
        dx, dy = x - x_satpy[row, col], y - y_satpy[row, col]
        worst = max(worst, abs(dx), abs(dy))
        print(f"pixel ({row},{col}): GeoTIFF ({x:.3f}, {y:.3f}) satpy ({x_satpy[row, col]:.3f}, "
              f"{y_satpy[row, col]:.3f})")
    same = np.array_equal(np.nan_to_num(counts, nan=0).astype(np.uint16), pixels)
    print(f"largest coordinate difference {worst:.6f} m; counts equal: {same}")
    return 0 if worst < 0.01 and same else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
