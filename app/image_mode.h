#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geo/image_entry.h"

namespace segweld {

// segweld --geotiff|--netcdf [--fill-gaps] [--calibration QUANTITY]
// [--calibration-mode MODE] SEGMENT_FILE OUTPUT_FOLDER: the product's image, through the image
// module's entry, with progress on a terminal for a run longer than a second and the result line
// the station modes print. The module lives apart and is loaded only here, so that no other mode
// loads GDAL and its many libraries. Returns the exit status: 0 written, 1 nothing written, 2 bad
// arguments or a build without image output.
int RunImageMode(OutputKind format, bool fillGaps, std::optional<geo::Quantity> calibration,
                 geo::CalibrationMode mode, const std::vector<std::string>& paths);

// The image module's entry, for the single run and for --batch and --watch
// with --geotiff or --netcdf: the module is loaded here, once; nullptr with
// `error` set when this build or installation cannot write images of
// `format`.
geo::WriteProductImageEntry LoadImageWriter(OutputKind format, std::string& error);

}  // namespace segweld
