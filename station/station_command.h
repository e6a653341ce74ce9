#pragma once

#include "station/station_options.h"

namespace segweld::station {

// Runs `segweld --batch ...` or `segweld --watch ...`; returns the exit status.
int RunStationCommand(const StationOptions& options);

}  // namespace segweld::station
