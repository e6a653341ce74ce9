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

// The value of --calibration: "--calibration QUANTITY" or
// "--calibration=QUANTITY" at argv[i]; advances `i` past it. False for
// anything else, with `error` set when it is --calibration with a bad value.
bool ParseCalibration(int argc, char** argv, int& i, std::optional<Quantity>& calibration,
                      std::string& error) {
    constexpr std::string_view kOption = "--calibration";
    const std::string_view argument = argv[i];
    std::string_view value;
    if (argument == kOption) {
        if (i + 1 >= argc || std::string_view(argv[i + 1]).starts_with("--")) {
            error = "--calibration needs a quantity";
            return false;
        }
        value = argv[++i];
    } else if (argument.starts_with(std::string(kOption) + "=")) {
        value = argument.substr(kOption.size() + 1);
    } else {
        return false;
    }
    calibration = ParseQuantity(value);
    if (!calibration) {
        error =
            "--calibration takes counts, radiance, reflectance, brightness-temperature or bt, "
            "not '" +
            std::string(value) + "'";
        return false;
    }
    return true;
}

bool Parse(int argc, char** argv, GeoTiffArguments& arguments, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--geotiff") {
            continue;
        }
        if (argument == "--fill-gaps") {
            arguments.fillGaps = true;
        } else if (ParseCalibration(argc, argv, i, arguments.calibration, error)) {
            continue;
        } else if (!error.empty() || argument.starts_with("--") || arguments.paths.size() == 2) {
            return false;
        } else {
            arguments.paths.push_back(argument);
        }
    }
    return !arguments.paths.empty();
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
    std::string error;
    if (!Parse(argc, argv, arguments, error)) {
        if (!error.empty()) {
            std::fprintf(stderr, "segweld: %s\n", error.c_str());
        }
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
