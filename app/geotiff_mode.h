#pragma once

#include <string>

#include "geo/geotiff_product.h"

namespace segweld {

// True when "--geotiff" is among the arguments after the program name.
bool WantsGeoTiff(int argc, char** argv);

// segweld --geotiff [--fill-gaps] SEGMENT_FILE OUTPUT_FOLDER. The GeoTIFF
// writer lives in a module of its own, loaded only here, so that no other
// mode loads GDAL and its many libraries. Returns the exit status: 0 written,
// 1 nothing written, 2 bad arguments or a build without GeoTIFF output.
int RunGeoTiffMode(int argc, char** argv);

// The GeoTIFF module's per-product entry, for --batch and --watch with
// --geotiff: the module is loaded here, once; nullptr with `error` set when
// this build or installation cannot write GeoTIFF.
geo::WriteProductGeoTiffEntry LoadGeoTiffWriter(std::string& error);

// The GeoTIFF module's entry point, given the whole command line.
inline constexpr const char* kGeoTiffModuleName = "segweld-geotiff.so";
inline constexpr const char* kGeoTiffEntryName = "SegweldRunGeoTiffMode";
using GeoTiffEntry = int (*)(int argc, char** argv);

}  // namespace segweld
