// The module that segweld loads for --geotiff: the command's arguments, the
// GeoTIFF and what is reported of it.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/geotiff_mode.h"
#include "geo/geotiff_product.h"
#include "join/segment_walk.h"
#include "os/process.h"

namespace segweld::geo {
namespace {

constexpr int kExitWritten = 0;
constexpr int kExitNothingWritten = 1;
constexpr int kExitBadArguments = 2;

constexpr const char* kUsage =
    "Usage: segweld --geotiff [--fill-gaps] [--calibration QUANTITY] SEGMENT_FILE "
    "OUTPUT_FOLDER\n"
    "QUANTITY: counts, radiance, reflectance, brightness-temperature (or bt)\n";

struct GeoTiffArguments {
    bool fillGaps = false;
    std::optional<Quantity> calibration;
    std::vector<std::string> paths;
};

// segweld's own parser has checked the line; it comes as
// segweld --geotiff [--fill-gaps] [--calibration=QUANTITY] -- SEGMENT_FILE [OUTPUT_FOLDER].
bool Parse(int argc, char** argv, GeoTiffArguments& arguments) {
    constexpr std::string_view kCalibration = "--calibration=";
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (optionsEnded) {
            arguments.paths.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--fill-gaps") {
            arguments.fillGaps = true;
        } else if (argument.starts_with(kCalibration)) {
            arguments.calibration = ParseQuantity(argument.substr(kCalibration.size()));
            if (!arguments.calibration) {
                return false;
            }
        } else if (argument != "--geotiff") {
            return false;
        }
    }
    return !arguments.paths.empty() && arguments.paths.size() <= 2;
}

// The command line's checks and messages ("Caption: Text").
bool PathsExist(const std::vector<std::string>& paths) {
    const char* message = nullptr;
    if (paths.size() < 2 || paths[1].empty()) {
        message =
            "No output folder specified: Please specify a folder where to write the "
            "resulting joined file.";
    } else if (!PathExists(paths[0])) {
        message = "Check input file: The input file does not exist.";
    } else if (!PathExists(paths[1])) {
        message = "Check output folder: The output folder does not exist.";
    }
    if (message != nullptr) {
        std::fprintf(stderr, "%s\n", message);
    }
    return message == nullptr;
}

int Run(int argc, char** argv) {
    // This module's own handlers: the run stops at its next step, its working
    // folder goes, and only then does the signal end the process.
    os::NoteInterrupts();
    GeoTiffArguments arguments;
    if (!Parse(argc, argv, arguments)) {
        std::fputs(kUsage, stderr);
        return kExitBadArguments;
    }
    if (!PathsExist(arguments.paths)) {
        return kExitBadArguments;
    }
    const GeoTiffReport report = WriteProductGeoTiff(
        arguments.paths[0], arguments.paths[1],
        {.fillGaps = arguments.fillGaps, .calibration = arguments.calibration, .stopRequested = [] {
             return os::NotedInterrupt() != 0;
         }});
    os::EndByNotedInterrupt();
    std::fflush(stdout);  // any "Unexpected hdrtype" lines come before the summary
    for (const auto* list : {&report.join.warnings, &report.warnings}) {
        for (const std::string& warning : *list) {
            std::fprintf(stderr, "segweld: warning: %s\n", warning.c_str());
        }
    }
    if (!report.written()) {
        std::fprintf(stderr, "segweld: %s\n", report.error.c_str());
        return kExitNothingWritten;
    }
    return kExitWritten;
}

}  // namespace
}  // namespace segweld::geo

extern "C" [[gnu::visibility("default")]] int SegweldRunGeoTiffMode(int argc, char** argv) {
    return segweld::geo::Run(argc, argv);
}

// The entry that kWriteProductGeoTiffEntryName names; its type is
// WriteProductGeoTiffEntry.
extern "C" [[gnu::visibility("default")]] void SegweldWriteProductGeoTiff(
    const std::string& segmentPath, const std::string& outputFolder,
    const segweld::geo::GeoTiffOptions& options, segweld::geo::GeoTiffReport& report) {
    report = segweld::geo::WriteProductGeoTiff(segmentPath, outputFolder, options);
}
