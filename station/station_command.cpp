#include "station/station_command.h"

#include "station/batch_mode.h"
#include "station/watch_mode.h"

namespace segweld::station {

int RunStationCommand(const StationOptions& options, const ImageWriterLoader& loadImageWriter) {
    return options.mode == StationMode::Batch ? RunBatch(options, loadImageWriter)
                                              : RunWatch(options, loadImageWriter);
}

}  // namespace segweld::station
