#include "app/geotiff_mode.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/program_module.h"
#include "join/segment_scan.h"
#include "os/file_system.h"
#include "os/process.h"
#include "station/output_maker.h"

namespace segweld {
namespace {

constexpr int kExitNoGeoTiff = 2;
constexpr int kExitNothingWritten = 1;

int NoGeoTiff(const std::string& why) {
    std::fprintf(stderr, "segweld: this build cannot write GeoTIFF: %s\n", why.c_str());
    return kExitNoGeoTiff;
}

// The symbol `entry` of the GeoTIFF module, which stays loaded until the
// process ends; nullptr with `error` set when there is none.
void* GeoTiffModuleSymbol(const char* entry, std::string& error) {
#ifndef SEGWELD_HAS_GEOTIFF
    (void)entry;
    error = "it was built without GDAL";
    return nullptr;
#else
    const std::string modulePath = FindProgramModule(kGeoTiffModuleName);
    if (modulePath.empty()) {
#ifdef SEGWELD_GEOTIFF_PACKAGE
        error = "the GeoTIFF writer is not installed (package " SEGWELD_GEOTIFF_PACKAGE ")";
#else
        error = std::string("the module ") + kGeoTiffModuleName + " is not installed";
#endif
        return nullptr;
    }
    static std::unique_ptr<os::LoadedModule> module = os::LoadedModule::Load(modulePath, error);
    if (module == nullptr) {
        return nullptr;
    }
    void* symbol = module->Symbol(entry);
    if (symbol == nullptr) {
        error = std::string("no entry ") + entry + " in " + modulePath;
    }
    return symbol;
#endif
}

}  // namespace

geo::WriteProductGeoTiffEntry LoadGeoTiffWriter(std::string& error) {
    return reinterpret_cast<geo::WriteProductGeoTiffEntry>(
        GeoTiffModuleSymbol(geo::kWriteProductGeoTiffEntryName, error));
}

int RunGeoTiffMode(bool fillGaps, std::optional<geo::Quantity> calibration,
                   const std::vector<std::string>& paths) {
    std::string error;
    const auto run = reinterpret_cast<GeoTiffEntry>(GeoTiffModuleSymbol(kGeoTiffEntryName, error));
    if (run == nullptr) {
        return NoGeoTiff(error);
    }
    if (!paths.empty() && os::LookAt(paths[0]).kind == os::PathKind::RegularFile) {
        if (const auto compressed = FindCompressedSegment(paths[0])) {
            std::fprintf(stderr, "segweld: %s\n",
                         station::GeoTiffRefusesCompressed(*compressed).c_str());
            return kExitNothingWritten;
        }
    }
    std::vector<std::string> line = {"segweld", "--geotiff"};
    if (fillGaps) {
        line.emplace_back("--fill-gaps");
    }
    if (calibration) {
        line.push_back(std::string("--calibration=") + geo::QuantityToken(*calibration));
    }
    line.emplace_back("--");
    line.insert(line.end(), paths.begin(), paths.end());
    std::vector<char*> argv;
    for (std::string& argument : line) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    return run(static_cast<int>(line.size()), argv.data());
}

}  // namespace segweld
