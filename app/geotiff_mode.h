#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geo/geotiff_product.h"

namespace segweld {

// segweld --geotiff [--fill-gaps] SEGMENT_FILE OUTPUT_FOLDER. The GeoTIFF
// writer lives in a module of its own, loaded only here, so that no other
// mode loads GDAL and its many libraries. Returns the exit status: 0 written,
// 1 nothing written, 2 bad arguments or a build without GeoTIFF output.
int RunGeoTiffMode(bool fillGaps, std::optional<geo::Quantity> calibration,
                   const std::vector<std::string>& paths);

// The GeoTIFF module's per-product entry, for --batch and --watch with
// --geotiff: the module is loaded here, once; nullptr with `error` set when
// this build or installation cannot write GeoTIFF.
geo::WriteProductGeoTiffEntry LoadGeoTiffWriter(std::string& error);

// The GeoTIFF module's entry point, given a command line of the form
// segweld --geotiff [--fill-gaps] [--calibration=QUANTITY] -- SEGMENT_FILE [OUTPUT_FOLDER].
inline constexpr const char* kGeoTiffModuleName = "segweld-geotiff.so";
inline constexpr const char* kGeoTiffEntryName = "SegweldRunGeoTiffMode";
using GeoTiffEntry = int (*)(int argc, char** argv);

}  // namespace segweld
