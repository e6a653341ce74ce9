#include <csignal>
#include <cstring>

#include "app/geotiff_mode.h"
#include "app/segweld_app.h"
#include "app/usage.h"

segweld::CSegweldApp theApp;

int main(int argc, char** argv) {
    // A file size limit must end the join with an error, not kill the process.
    std::signal(SIGXFSZ, SIG_IGN);

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
    theApp.m_lpCmdLine = segweld::FormCommandTail(argc, argv);
    theApp.m_argc = argc;
    theApp.m_argv = argv;
    theApp.InitInstance();
    return theApp.exitCode();
}
