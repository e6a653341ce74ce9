#pragma once

#include "station/station_options.h"

namespace segweld::station {

// Exit statuses of both modes.
inline constexpr int kExitDone = 0;      // every product joined or up to date
inline constexpr int kExitFailures = 1;  // some product could not be written
inline constexpr int kExitBadArguments = 2;

// `segweld --batch`: joins every product of the input folder that is not up to
// date on a fixed pool of workers. Returns the exit status.
int RunBatch(const StationOptions& options);

// Checks that the input folder is a folder and the output folder exists; on
// failure prints why and returns false.
bool CheckFolders(const StationOptions& options);

}  // namespace segweld::station
