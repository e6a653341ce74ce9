#include "app/geotiff_mode.h"

#include <cstdio>
#include <string>
#include <vector>

#include "app/message_box.h"
#include "join/segment_walk.h"
#ifdef SEGWELD_HAS_GEOTIFF
#include "geo/geotiff_product.h"
#endif

namespace segweld {
namespace {

constexpr int kExitWritten = 0;
constexpr int kExitNothingWritten = 1;
constexpr int kExitBadArguments = 2;

constexpr const char* kGeoTiffUsage =
    "Usage: segweld --geotiff [--fill-gaps] SEGMENT_FILE OUTPUT_FOLDER\n";

struct GeoTiffArguments {
    bool fillGaps = false;
    std::vector<std::string> paths;
};

bool Parse(int argc, char** argv, GeoTiffArguments& arguments) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--geotiff") {
            continue;
        }
        if (argument == "--fill-gaps") {
            arguments.fillGaps = true;
        } else if (argument.starts_with("--") || arguments.paths.size() == 2) {
            return false;
        } else {
            arguments.paths.push_back(argument);
        }
    }
    return !arguments.paths.empty();
}

bool PathsExist(const std::vector<std::string>& paths) {
    if (paths.size() < 2 || paths[1].empty()) {
        MessageBoxLine("Please specify a folder where to write the resulting joined file.",
                       "No output folder specified");
        return false;
    }
    if (!PathExists(paths[0])) {
        MessageBoxLine("The input file does not exist.", "Check input file");
        return false;
    }
    if (!PathExists(paths[1])) {
        MessageBoxLine("The output folder does not exist.", "Check output folder");
        return false;
    }
    return true;
}

}  // namespace

bool WantsGeoTiff(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--geotiff") {
            return true;
        }
    }
    return false;
}

int RunGeoTiffMode(int argc, char** argv) {
    GeoTiffArguments arguments;
    if (!Parse(argc, argv, arguments)) {
        std::fputs(kGeoTiffUsage, stderr);
        return kExitBadArguments;
    }
#ifndef SEGWELD_HAS_GEOTIFF
    std::fputs("segweld: this build cannot write GeoTIFF (it was built without GDAL)\n", stderr);
    return kExitBadArguments;
#else
    if (!PathsExist(arguments.paths)) {
        return kExitBadArguments;
    }
    const geo::GeoTiffReport report = geo::WriteProductGeoTiff(
        arguments.paths[0], arguments.paths[1], {.fillGaps = arguments.fillGaps});
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
#endif
}

}  // namespace segweld
