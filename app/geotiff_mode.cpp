#include "app/geotiff_mode.h"

#include <cstdio>
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

int RunGeoTiffMode(bool fillGaps, const std::vector<std::string>& paths) {
#ifndef SEGWELD_HAS_GEOTIFF
    (void)fillGaps;
    (void)paths;
    return NoGeoTiff("it was built without GDAL");
#else
    const std::string modulePath = FindProgramModule(kGeoTiffModuleName);
    if (modulePath.empty()) {
        return NoGeoTiff(std::string("the module ") + kGeoTiffModuleName + " is not installed");
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
    std::vector<std::string> line = {"segweld", "--geotiff"};
    if (fillGaps) {
        line.emplace_back("--fill-gaps");
    }
    line.emplace_back("--");
    line.insert(line.end(), paths.begin(), paths.end());
    std::vector<char*> argv;
    for (std::string& argument : line) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    return run(static_cast<int>(line.size()), argv.data());
#endif
}

}  // namespace segweld
