#include "station/station_command.h"

#include "station/batch_mode.h"
#include "station/watch_mode.h"

namespace segweld::station {

int RunStationCommand(const StationOptions& options, const GeoTiffLoader& loadGeoTiff) {
    return options.mode == StationMode::Batch ? RunBatch(options, loadGeoTiff)
                                              : RunWatch(options, loadGeoTiff);
}

}  // namespace segweld::station
