#pragma once

#include "station/batch_mode.h"

namespace segweld::station {

// True when the command line asks for --batch or --watch.
bool IsStationCommand(int argc, char** argv);

// Runs `segweld --batch ...` or `segweld --watch ...`; returns the exit
// status. `loadGeoTiff` gives the GeoTIFF writer for --geotiff.
int RunStationCommand(int argc, char** argv, const GeoTiffLoader& loadGeoTiff);

}  // namespace segweld::station
