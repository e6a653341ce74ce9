#include <cstdio>
#include <string>
#include <vector>

#include "join/segment_walk.h"
#include "segweld_version.h"
#include "tools/info/info_commands.h"
#include "tools/info/info_options.h"
#include "tools/info/info_usage.h"

namespace {

using namespace segweld::info;

int BadArguments(const std::string& why) {
    std::fprintf(stderr, "segweld-info: %s\nTry 'segweld-info --help' for more information.\n",
                 why.c_str());
    return kExitBadArguments;
}

int Run(const InfoOptions& options) {
    switch (options.mode) {
        case InfoMode::Help:
            PrintInfoUsage(stdout);
            return kExitFine;
        case InfoMode::Version:
            std::fputs("segweld-info " SEGWELD_VERSION "\n", stdout);
            return kExitFine;
        case InfoMode::Headers:
            return RunHeaderDump(options);
        case InfoMode::Series:
            return RunSeries(options);
        case InfoMode::Preview:
            return RunPreview(options);
    }
    return kExitBadArguments;
}

}  // namespace

int main(int argc, char** argv) {
    const InfoOptions options = ParseInfoOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        return BadArguments(options.error);
    }
    const bool walksAProduct =
        options.mode == InfoMode::Series || options.mode == InfoMode::Preview;
    if (walksAProduct && !segweld::PathExists(options.files.front())) {
        return BadArguments(options.files.front() + ": no such file");
    }
    return Run(options);
}
