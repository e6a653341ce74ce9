#include "app/geotiff_mode.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace segweld {
namespace {

constexpr int kExitNoGeoTiff = 2;

int NoGeoTiff(const std::string& why) {
    std::fprintf(stderr, "segweld: this build cannot write GeoTIFF: %s\n", why.c_str());
    return kExitNoGeoTiff;
}

#ifdef SEGWELD_HAS_GEOTIFF

// The folder of the running program, with a trailing separator.
std::string ProgramFolder() {
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<size_t>(length) >= path.size()) {
        return "";
    }
    path.resize(static_cast<size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

#endif

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
    const std::string modulePath = ProgramFolder() + kGeoTiffModuleName;
    void* module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        return NoGeoTiff(dlerror());
    }
    // The module stays loaded until the process ends.
    const auto run = reinterpret_cast<GeoTiffEntry>(dlsym(module, kGeoTiffEntryName));
    return run ? run(argc, argv) : NoGeoTiff(dlerror());
#endif
}

}  // namespace segweld
