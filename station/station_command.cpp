#include "station/station_command.h"

#include "station/batch_mode.h"
#include "station/watch_mode.h"

namespace segweld::station {

int RunStationCommand(const StationOptions& options) {
    return options.mode == StationMode::Batch ? RunBatch(options) : RunWatch(options);
}

}  // namespace segweld::station
