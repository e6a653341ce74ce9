#pragma once

#include "station/batch_mode.h"
#include "station/station_options.h"

namespace segweld::station {

// Runs `segweld --batch ...` or `segweld --watch ...`; returns the exit
// status. `loadGeoTiff` gives the GeoTIFF writer for --geotiff.
int RunStationCommand(const StationOptions& options, const GeoTiffLoader& loadGeoTiff);

}  // namespace segweld::station
