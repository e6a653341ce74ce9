#pragma once

#include "station/batch_mode.h"
#include "station/station_options.h"

namespace segweld::station {

// `segweld --watch`: treats what the input folder holds as --batch does, then
// joins each product as soon as it is complete, or when its timeout has run
// out, until SIGINT or SIGTERM. Returns the exit status.
int RunWatch(const StationOptions& options, const ImageWriterLoader& loadImageWriter);

}  // namespace segweld::station
