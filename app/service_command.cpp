#include "app/service_command.h"

#include <cstdio>
#include <string>
#include <vector>

#include "os/process.h"
#include "os/service.h"
#include "station/batch_mode.h"
#include "station/product_scan.h"
#include "station/station_command.h"
#include "station/station_options.h"

namespace segweld {
namespace {

constexpr char kInstall[] = "--install-service";
constexpr char kUninstall[] = "--uninstall-service";
constexpr char kRun[] = "--service";

using station::kExitBadArguments;
using station::kExitDone;
using station::kExitFailures;

int Say(int status, const std::string& line) {
    std::fprintf(status == kExitDone ? stdout : stderr, "segweld: %s\n", line.c_str());
    return status;
}

void SayNotes(const std::vector<std::string>& notes) {
    for (const std::string& note : notes) {
        std::fprintf(stderr, "segweld: %s\n", note.c_str());
    }
}

int Usage(const std::string& why) {
    return Say(kExitBadArguments,
               why +
                   "\nUsage: segweld --install-service NAME --watch IN_FOLDER OUTPUT_FOLDER "
                   "[options of --watch]\n       segweld --uninstall-service NAME");
}

// The station arguments from `first` on, if they make a valid --watch.
std::optional<station::StationOptions> WatchOptions(const std::vector<std::string>& arguments,
                                                    size_t first, std::string& error) {
    const std::vector<std::string> station(arguments.begin() + static_cast<std::ptrdiff_t>(first),
                                           arguments.end());
    if (!station::IsStationCommand(station)) {
        error = "a service runs --watch: give --watch IN_FOLDER OUTPUT_FOLDER after the name";
        return std::nullopt;
    }
    station::StationOptions options = station::ParseStationOptions(station, error);
    if (error.empty() && options.mode != station::StationMode::Watch) {
        error = "a service runs --watch, not --batch";
    }
    if (!error.empty()) {
        return std::nullopt;
    }
    return options;
}

std::string LogPathOf(const std::string& name, const station::StationOptions& options) {
    return station::FolderPrefix(os::AbsolutePath(options.outputFolder)) + name + ".log";
}

int Install(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2) {
        return Usage(std::string(kInstall) + " needs a name and a --watch command");
    }
    const std::string& name = arguments[1];
    if (const std::string refusal = os::RefuseServiceName(name); !refusal.empty()) {
        return Usage(refusal);
    }
    std::string error;
    const auto options = WatchOptions(arguments, 2, error);
    if (!options) {
        return Usage(error);
    }
    if (!station::CheckFolders(*options)) {
        return kExitBadArguments;
    }
    const std::string input = os::AbsolutePath(options->inputFolder);
    const std::string output = os::AbsolutePath(options->outputFolder);
    os::ServiceSetup setup;
    setup.name = name;
    setup.description = "Joins the segment files of the MSG products arriving in " + input +
                        " into " + output + " (segweld --watch).";
    setup.arguments = {kRun, name, os::CurrentFolder()};
    setup.arguments.insert(setup.arguments.end(), arguments.begin() + 2, arguments.end());
    setup.readFolders = {input};
    setup.changeFolders = {output};
    std::vector<std::string> notes;
    const bool installed = os::InstallService(setup, notes, error);
    SayNotes(notes);
    if (!installed) {
        return Say(kExitFailures, error);
    }
    const std::string log = LogPathOf(name, *options);
    if (!os::StartInstalledService(name, error)) {
        return Say(kExitFailures,
                   "installed the service " + name + ", but " + error + "; its log: " + log);
    }
    return Say(kExitDone, "the service " + name + " watches " + input + " and joins into " +
                              output + "; it runs as NT SERVICE\\" + name +
                              ", starts with Windows, is restarted when it fails, and logs to " +
                              log);
}

int Uninstall(const std::vector<std::string>& arguments) {
    if (arguments.size() != 2) {
        return Usage(std::string(kUninstall) + " takes the service's name alone");
    }
    const std::string& name = arguments[1];
    std::string error;
    const auto installed = os::ServiceArguments(name, error);
    if (!installed) {
        return Say(kExitFailures, error);
    }
    if (installed->size() < 3 || (*installed)[0] != kRun || (*installed)[1] != name) {
        return Say(kExitFailures,
                   "the service " + name + " was not installed by segweld; it is left as it is");
    }
    // Its folders, read against the folder it was installed from.
    std::vector<std::string> folders;
    std::string ignored;
    const auto options = WatchOptions(*installed, 3, ignored);
    if (options && os::EnterFolder((*installed)[2], ignored)) {
        folders = {os::AbsolutePath(options->inputFolder), os::AbsolutePath(options->outputFolder)};
    }
    std::vector<std::string> notes;
    const bool removed = os::UninstallService(name, folders, notes, error);
    SayNotes(notes);
    return removed ? Say(kExitDone, "removed the service " + name) : Say(kExitFailures, error);
}

// What the service manager starts: --service NAME FOLDER --watch ...
int RunService(const std::vector<std::string>& arguments) {
    if (arguments.size() < 4) {
        return Usage(std::string(kRun) + " is what the service manager starts");
    }
    const std::string& name = arguments[1];
    std::string error;
    if (!os::EnterFolder(arguments[2], error)) {
        return Say(kExitBadArguments, error);
    }
    const auto options = WatchOptions(arguments, 3, error);
    if (!options) {
        return Usage(error);
    }
    std::vector<std::string> station = {"segweld"};
    station.insert(station.end(), arguments.begin() + 3, arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : station) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const auto status = os::RunAsService(
        name, LogPathOf(name, *options),
        [&] { return station::RunStationCommand(static_cast<int>(station.size()), argv.data()); },
        error);
    return status ? *status : Say(kExitBadArguments, error);
}

}  // namespace

bool IsServiceCommand(int argc, char** argv) {
    if (argc < 2) {
        return false;
    }
    const std::string first = argv[1];
    return first == kInstall || first == kUninstall || first == kRun;
}

int RunServiceCommand(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments[0] == kInstall) {
        return Install(arguments);
    }
    if (arguments[0] == kUninstall) {
        return Uninstall(arguments);
    }
    return RunService(arguments);
}

}  // namespace segweld
