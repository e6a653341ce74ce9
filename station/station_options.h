#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "geo/quantity.h"
#include "station/log_line.h"
#include "station/shard.h"

namespace segweld::station {

enum class StationMode { Batch, Watch };

// Where --metrics serves: a host name or address, and a port (0: any free one).
struct ListenAddress {
    std::string host;
    int port = 0;

    // "127.0.0.1:9464", "[::1]:9464".
    std::string Text() const;
    friend bool operator==(const ListenAddress&, const ListenAddress&) = default;
};

// What `segweld --batch` and `segweld --watch` are asked to do. The command
// line fills it through segweld's option table (app/segweld_options.cpp).
struct StationOptions {
    StationMode mode = StationMode::Batch;
    std::string inputFolder;
    std::string outputFolder;
    bool fillGaps = false;
    bool geoTiff = false;                      // GeoTIFFs instead of joined outputs
    bool netCdf = false;                       // NetCDF files instead of joined outputs
    std::optional<geo::Quantity> calibration;  // with an image; nothing: the channel's default
    geo::CalibrationMode calibrationMode = geo::CalibrationMode::Nominal;  // with an image
    unsigned workers = 0;                                                  // 0: one per processor
    Verbosity verbosity = Verbosity::Normal;
    // --batch
    bool recursive = false;
    bool force = false;
    std::optional<std::string> reportPath;  // "-": standard output; --watch too
    std::string fromList;                   // the folders and files to take, instead of a scan
    Shard shard;
    // --slots, for both modes: the slots' wanted channels (empty: all twelve),
    // their outputs in folders of their own, and the first of the slot
    // options given without --slots, which is refused.
    bool slots = false;
    std::vector<std::string> slotChannels;
    bool slotFolders = false;
    std::string needsSlots;
    // --watch
    std::chrono::milliseconds timeout = std::chrono::seconds(900);
    // From a slot's first file to its publication: a full repeat cycle of
    // the 0° service is disseminated over 15 minutes, and EUMETCast may add a
    // few minutes, so 20 minutes wait for a late epilogue without holding an
    // incomplete slot long; a complete slot is published at once anyway.
    std::chrono::milliseconds slotTimeout = std::chrono::seconds(1200);
    std::vector<std::string> thenSlotCommand;  // "{}" stands for the manifest
    std::vector<std::string> thenCommand;      // "{}" stands for the output path
    std::chrono::milliseconds thenTimeout = std::chrono::seconds(600);
    // --watch --metrics: where the metrics and the status page are served.
    std::optional<ListenAddress> metrics;
    // --batch --metrics-file: the counters written at the end, for a textfile collector.
    std::string metricsFile;
    // The whole command line after the program name, for the report.
    std::vector<std::string> commandLine;
    // --watch --config: the file the folders and options came from, and how
    // to read it again (on SIGHUP) with the command line's options winning as
    // at start; on a bad file it sets `error` ("FILE:LINE: why") and its
    // options are not to be used. Empty without --config.
    std::string configPath;
    std::function<StationOptions(std::string& error)> rereadConfig;
};

// The rules of the values: false for text that breaks them.
bool ParseWorkers(const std::string& text, unsigned& workers);  // 1 to 1024
bool ParseSeconds(const std::string& text, std::chrono::milliseconds& timeout);
// "HOST:PORT", or "[IPV6]:PORT", the port from 0 to 65535.
bool ParseListenAddress(const std::string& text, ListenAddress& address);

}  // namespace segweld::station
