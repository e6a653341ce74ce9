#pragma once

#include "station/batch_mode.h"
#include "station/station_options.h"

namespace segweld::station {

// Runs `segweld --batch ...` or `segweld --watch ...`; returns the exit
// status. `loadImageWriter` gives the GeoTIFF writer for --geotiff.
int RunStationCommand(const StationOptions& options, const ImageWriterLoader& loadImageWriter);

}  // namespace segweld::station
