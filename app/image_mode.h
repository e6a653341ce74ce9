#pragma once

#include <optional>
#include <string>
#include <vector>

#include "geo/image_entry.h"
#include "station/station_options.h"

namespace segweld {

// segweld --geotiff|--netcdf [--fill-gaps] [--calibration QUANTITY]
// [--calibration-mode MODE] SEGMENT_FILE OUTPUT_FOLDER: the product's image, through the image
// module's entry, with progress on a terminal for a run longer than a second and the result line
// the station modes print. The module lives apart and is loaded only here, so that no other mode
// loads GDAL and its many libraries. Returns the exit status: 0 written, 1 nothing written, 2 bad
// arguments or a build without image output.
int RunImageMode(OutputKind format, bool fillGaps, std::optional<geo::Quantity> calibration,
                 geo::CalibrationMode mode, const std::vector<std::string>& paths);

// segweld --geotiff|--netcdf --slots [--slot-channels LIST] ... SEGMENT_FILE
// OUTPUT_FOLDER: the images of the time slot the file belongs to, made of the
// files of the slot beside it (geo::WriteSlotImage), with progress as above
// and a line naming the channels written and absent. Exit status as above.
int RunSlotImageMode(OutputKind format, const station::StationOptions& options,
                     const std::vector<std::string>& paths);

// The image module's entries, for the single run and for --batch and --watch
// with --geotiff or --netcdf: the module is loaded here, once; null entries
// with `error` set when this build or installation cannot write images of
// `format`.
geo::ImageEntries LoadImageWriter(OutputKind format, std::string& error);

}  // namespace segweld
