#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/image_mode.h"
#include "app/segweld_app.h"
#include "app/segweld_options.h"
#include "app/service_command.h"
#include "app/usage.h"
#include "cli/command_line.h"
#include "os/process.h"
#include "os/terminal.h"
#include "station/station_command.h"

segweld::CSegweldApp theApp;

namespace {

constexpr int kExitBadArguments = 2;

// segweld SEGMENT_FILE OUTPUT_FOLDER, or the dialog: the paths pass through
// the command tail, whose checks and texts are the program's oldest.
int RunSingleJoin(const segweld::SegweldCommand& command, int argc, char** argv) {
    std::string refusal = segweld::RefuseUnsplittableArgument(command.paths);
    if (command.paths.empty() && !command.optionsGiven.empty()) {
        refusal = command.optionsGiven.front() + " needs a segment file and an output folder";
    }
    if (!refusal.empty()) {
        std::fprintf(stderr, "segweld: %s\n", refusal.c_str());
        return kExitBadArguments;
    }
    theApp.m_lpCmdLine = segweld::FormCommandTail(command.paths);
    theApp.m_fillGaps = command.options.fillGaps;
    theApp.m_verbose = command.options.verbosity == segweld::station::Verbosity::Verbose;
    theApp.m_argc = argc;
    theApp.m_argv = argv;
    theApp.InitInstance();
    return theApp.exitCode();
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything can start a thread (the GeoTIFF module's libraries
    // start one as they load): no thread but the one that takes them is ever
    // handed SIGINT, SIGTERM or SIGHUP.
    segweld::os::HoldInterrupts();
    segweld::os::EnsureStandardStreams();
    argv = segweld::os::Utf8Arguments(argc, argv);
    segweld::os::UseUtf8Console();
    segweld::os::RemoveTemporariesOnInterrupt();
#ifdef SIGXFSZ
    // A file size limit must end the join with an error, not kill the process.
    std::signal(SIGXFSZ, SIG_IGN);
#endif

    const segweld::SegweldCommand command =
        segweld::ParseSegweldCommand(std::vector<std::string>(argv + 1, argv + argc));
    if (!command.error.empty()) {
        std::fprintf(stderr, "segweld: %s\n%s\n", command.error.c_str(),
                     segweld::cli::HelpHint(segweld::SegweldProgram(), command.mode).c_str());
        return kExitBadArguments;
    }
    if (command.help) {
        segweld::PrintHelp(stdout, command.mode);
        return 0;
    }
    if (command.version) {
        segweld::PrintVersion(stdout);
        return 0;
    }
    // The watch takes the signals through its FolderWatch; every other mode
    // on a thread of their own, where the handlers of its mode run.
    if (command.mode != segweld::kWatchMode) {
        segweld::os::ReceiveInterrupts();
    }
    for (const std::string& warning : command.warnings) {
        std::fprintf(stderr, "segweld: warning: %s\n", warning.c_str());
    }
    switch (command.mode) {
        case segweld::kUninstallService:
            return segweld::UninstallWatchService(command.serviceName);
        case segweld::kServiceRun:
            return segweld::RunWatchService(command.serviceRun);
        case segweld::kWatchMode:
            if (!command.serviceName.empty()) {
                return segweld::InstallWatchService(
                    command, std::vector<std::string>(argv + 1, argv + argc));
            }
            [[fallthrough]];
        case segweld::kBatchMode: {
            segweld::station::StationOptions options = command.options;
            options.commandLine.assign(argv + 1, argv + argc);
            return segweld::station::RunStationCommand(options, segweld::LoadImageWriter);
        }
        case segweld::kGeoTiffJoin:
        case segweld::kNetCdfJoin: {
            const auto format = command.mode == segweld::kNetCdfJoin ? segweld::OutputKind::NetCdf
                                                                     : segweld::OutputKind::GeoTiff;
            if (command.options.slots) {
                return segweld::RunSlotImageMode(format, command.options, command.paths);
            }
            return segweld::RunImageMode(format, command.options.fillGaps,
                                         command.options.calibration,
                                         command.options.calibrationMode, command.paths);
        }
        default:
            return RunSingleJoin(command, argc, argv);
    }
}
