#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "geo/quantity.h"
#include "station/log_line.h"
#include "station/shard.h"

namespace segweld::station {

enum class StationMode { Batch, Watch };

// The command line of `segweld --batch` and `segweld --watch`.
struct StationOptions {
    StationMode mode = StationMode::Batch;
    std::string inputFolder;
    std::string outputFolder;
    bool fillGaps = false;
    bool geoTiff = false;                      // GeoTIFFs instead of joined outputs
    std::optional<geo::Quantity> calibration;  // with geoTiff; nothing: the channel's default
    unsigned workers = 0;                      // 0: one per processor
    Verbosity verbosity = Verbosity::Normal;
    // --batch
    bool recursive = false;
    bool force = false;
    std::optional<std::string> reportPath;  // "-": standard output
    std::string fromList;                   // the folders and files to take, instead of a scan
    Shard shard;
    // --watch
    std::chrono::milliseconds timeout = std::chrono::seconds(900);
    std::vector<std::string> thenCommand;  // "{}" stands for the output path
    std::chrono::milliseconds thenTimeout = std::chrono::seconds(600);
    // The whole command line after the program name, for the report.
    std::vector<std::string> commandLine;
};

// True when the arguments (argv[1] on) ask for --batch or --watch.
bool IsStationCommand(const std::vector<std::string>& arguments);

// Parses the arguments after the program name. On bad arguments `error`
// says why and the options are not to be used.
StationOptions ParseStationOptions(const std::vector<std::string>& arguments, std::string& error);

void PrintStationUsage(std::FILE* out);

}  // namespace segweld::station
