#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/geotiff_mode.h"
#include "app/segweld_app.h"
#include "app/usage.h"
#include "os/process.h"
#include "station/station_command.h"

segweld::CSegweldApp theApp;

int main(int argc, char** argv) {
    segweld::os::EnsureStandardStreams();
    segweld::os::RemoveTemporariesOnInterrupt();
#ifdef SIGXFSZ
    // A file size limit must end the join with an error, not kill the process.
    std::signal(SIGXFSZ, SIG_IGN);
#endif

    if (segweld::station::IsStationCommand(argc, argv)) {
        return segweld::station::RunStationCommand(argc, argv, segweld::LoadGeoTiffWriter);
    }

    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        segweld::PrintUsage(stdout);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        segweld::PrintVersion(stdout);
        return 0;
    }
    if (segweld::WantsGeoTiff(argc, argv)) {
        return segweld::RunGeoTiffMode(argc, argv);
    }
    const segweld::CommandOptions options = segweld::TakeCommandOptions(argc, argv);
    std::string refusal = segweld::RefuseUnsplittableArgument(argc, argv, options.firstPath);
    if (options.fillGaps && options.firstPath >= argc) {
        refusal = "--fill-gaps needs a segment file and an output folder";
    }
    if (!refusal.empty()) {
        std::fprintf(stderr, "segweld: %s\n", refusal.c_str());
        return 2;
    }
    theApp.m_lpCmdLine = segweld::FormCommandTail(argc, argv, options.firstPath);
    theApp.m_fillGaps = options.fillGaps;
    theApp.m_argc = argc;
    theApp.m_argv = argv;
    theApp.InitInstance();
    return theApp.exitCode();
}
