#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "join/segment_walk.h"
#include "os/file_system.h"
#include "os/process.h"
#include "segweld_version.h"
#include "tools/info/info_commands.h"
#include "tools/info/info_options.h"
#include "tools/info/info_usage.h"

namespace {

using namespace segweld::info;

int BadArguments(const std::string& why, int mode = 0) {
    std::fprintf(stderr, "segweld-info: %s\n%s\n", why.c_str(),
                 segweld::cli::HelpHint(InfoProgram(), mode).c_str());
    return kExitBadArguments;
}

int Run(const InfoOptions& options) {
    switch (options.mode) {
        case InfoMode::Help:
            PrintInfoUsage(stdout, options.tableMode);
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

// Why `file`, which a product walk starts from, cannot be used: exit 2 when
// it does not exist, 1 when it cannot be looked at (in the words that the
// header dump gives for it); kExitFine when it can.
int CheckProductFile(const std::string& file) {
    const segweld::os::PathInfo look = segweld::os::LookAt(file);
    switch (look.kind) {
        case segweld::os::PathKind::Missing:
        case segweld::os::PathKind::DanglingLink:
            return BadArguments(file + ": no such file");
        case segweld::os::PathKind::LinkLoop:
        case segweld::os::PathKind::Inaccessible:
            std::fprintf(stderr, "segweld-info: %s: cannot be opened: %s\n", file.c_str(),
                         look.error.c_str());
            return kExitFound;
        default:
            return kExitFine;
    }
}

}  // namespace

int main(int argc, char** argv) {
    segweld::os::EnsureStandardStreams();
    const InfoOptions options = ParseInfoOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        return BadArguments(options.error, options.tableMode);
    }
    const bool walksAProduct =
        options.mode == InfoMode::Series || options.mode == InfoMode::Preview;
    const int check = walksAProduct ? CheckProductFile(options.files.front()) : kExitFine;
    if (check != kExitFine) {
        return check;
    }
    try {
        return Run(options);
    } catch (const segweld::os::ReadError& error) {
        std::fprintf(stderr, "segweld-info: %s\n", error.what());
        return kExitFound;
    }
}
