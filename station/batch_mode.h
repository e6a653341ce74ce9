#pragma once

#include "station/station_options.h"

namespace segweld::station {

// Exit statuses of both modes.
inline constexpr int kExitDone = 0;      // every product written or up to date
inline constexpr int kExitFailures = 1;  // some product's data could not be joined
inline constexpr int kExitBadArguments = 2;
// EX_TEMPFAIL: some product or folder failed for a reason of the system (no
// space, an I/O error, a folder that cannot be read or written), so a retry
// may succeed.
inline constexpr int kExitTemporaryFailure = 75;

// `segweld --batch`: joins every product of the input folder that is not up to
// date on a fixed pool of workers. Returns the exit status.
int RunBatch(const StationOptions& options);

// Checks that the input folder is a folder and the output folder exists; on
// failure prints why and returns false.
bool CheckFolders(const StationOptions& options);

}  // namespace segweld::station
