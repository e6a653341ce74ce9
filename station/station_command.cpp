#include "station/station_command.h"

#include <cstdio>
#include <string>
#include <vector>

#include "station/batch_mode.h"
#include "station/station_options.h"
#include "station/watch_mode.h"

namespace segweld::station {
namespace {

std::vector<std::string> ArgumentsAfterProgram(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace

bool IsStationCommand(int argc, char** argv) {
    return IsStationCommand(ArgumentsAfterProgram(argc, argv));
}

int RunStationCommand(int argc, char** argv, const GeoTiffLoader& loadGeoTiff) {
    std::string error;
    StationOptions options = ParseStationOptions(ArgumentsAfterProgram(argc, argv), error);
    options.commandLine = ArgumentsAfterProgram(argc, argv);
    if (!error.empty()) {
        std::fprintf(stderr, "segweld: %s\n\n", error.c_str());
        PrintStationUsage(stderr);
        return kExitBadArguments;
    }
    return options.mode == StationMode::Batch ? RunBatch(options, loadGeoTiff)
                                              : RunWatch(options, loadGeoTiff);
}

}  // namespace segweld::station
