#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "cli/option_table.h"
#include "station/station_options.h"

namespace segweld {

// segweld's modes, in the order of its option table's documents. The last
// two are Windows's alone: elsewhere no option chooses them.
enum SegweldMode : int {
    kSingleJoin,
    kGeoTiffJoin,
    kNetCdfJoin,
    kBatchMode,
    kWatchMode,
    kUninstallService,
    kServiceRun,
};

// What segweld's command line asks for.
struct SegweldCommand {
    int mode = kSingleJoin;
    bool help = false;
    bool version = false;
    std::vector<std::string> paths;
    std::vector<std::string> optionsGiven;  // as spelled, in order
    // --fill-gaps for every mode; the rest for --batch and --watch.
    station::StationOptions options;
    // --install-service (with --watch) and --uninstall-service: the service.
    std::string serviceName;
    // --service: the service's name, its folder and the watch's arguments.
    std::vector<std::string> serviceRun;
    bool calibrationModeGiven = false;
    std::string error;  // bad arguments: exit status 2 with this and a hint
    std::vector<std::string> warnings;
};

// Reads the arguments after the program name; with --watch --config also the
// configuration file.
SegweldCommand ParseSegweldCommand(const std::vector<std::string>& arguments);

// segweld's option table as its documents see it.
const cli::ProgramSpec& SegweldProgram();

// The configuration file's keys of the folders.
const std::vector<const char*>& WatchFolderKeys();

}  // namespace segweld
