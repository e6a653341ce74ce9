#pragma once

#include <functional>
#include <memory>
#include <string>

#include "station/output_maker.h"
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

// Loads the image module and finds its per-product entry; nullptr with
// `error` set when this build or installation has none. The module is loaded
// before any worker starts.
using ImageWriterLoader =
    std::function<geo::ImageEntries(OutputKind format, std::string& error)>;

// What the products are made into: joins, or with --geotiff GeoTIFFs through
// `loadImageWriter`'s entry; nullptr, after saying why, when that is missing.
std::unique_ptr<OutputMaker> MakeOutputMaker(const StationOptions& options,
                                             const ImageWriterLoader& loadImageWriter);

// `segweld --batch`: makes the output of every product of the input folder
// that is not up to date on a fixed pool of workers. Returns the exit status.
int RunBatch(const StationOptions& options, const ImageWriterLoader& loadImageWriter);

// Checks that the input folder is a folder and the output folder exists; on
// failure prints why and returns false.
bool CheckFolders(const StationOptions& options);

}  // namespace segweld::station
