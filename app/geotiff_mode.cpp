#include "app/geotiff_mode.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/program_module.h"
#include "os/process.h"

namespace segweld {
namespace {

constexpr int kExitNoGeoTiff = 2;

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

bool WantsGeoTiff(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--geotiff") == 0) {
            return true;
        }
    }
    return false;
}

geo::WriteProductGeoTiffEntry LoadGeoTiffWriter(std::string& error) {
    return reinterpret_cast<geo::WriteProductGeoTiffEntry>(
        GeoTiffModuleSymbol(geo::kWriteProductGeoTiffEntryName, error));
}

int RunGeoTiffMode(int argc, char** argv) {
    std::string error;
    const auto run = reinterpret_cast<GeoTiffEntry>(GeoTiffModuleSymbol(kGeoTiffEntryName, error));
    return run == nullptr ? NoGeoTiff(error) : run(argc, argv);
}

}  // namespace segweld
