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

}  // namespace

bool WantsGeoTiff(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--geotiff") == 0) {
            return true;
        }
    }
    return false;
}

int RunGeoTiffMode(int argc, char** argv) {
#ifndef SEGWELD_HAS_GEOTIFF
    (void)argc;
    (void)argv;
    return NoGeoTiff("it was built without GDAL");
#else
    const std::string modulePath = FindProgramModule(kGeoTiffModuleName);
    if (modulePath.empty()) {
#ifdef SEGWELD_GEOTIFF_PACKAGE
        return NoGeoTiff("the GeoTIFF writer is not installed (package " SEGWELD_GEOTIFF_PACKAGE
                         ")");
#else
        return NoGeoTiff(std::string("the module ") + kGeoTiffModuleName + " is not installed");
#endif
    }
    std::string error;
    // The module stays loaded until the process ends.
    static std::unique_ptr<os::LoadedModule> module = os::LoadedModule::Load(modulePath, error);
    if (module == nullptr) {
        return NoGeoTiff(error);
    }
    const auto run = reinterpret_cast<GeoTiffEntry>(module->Symbol(kGeoTiffEntryName));
    if (run == nullptr) {
        return NoGeoTiff(std::string("no entry ") + kGeoTiffEntryName + " in " + modulePath);
    }
    return run(argc, argv);
#endif
}

}  // namespace segweld
