#include "app/service_command.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/image_mode.h"
#include "os/process.h"
#include "os/service.h"
#include "station/batch_mode.h"
#include "station/product_scan.h"
#include "station/station_command.h"

namespace segweld {
namespace {

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

// The watch that `arguments` ask for, read in the current folder; nullopt
// with `error` when they do not make one.
std::optional<SegweldCommand> WatchCommand(const std::vector<std::string>& arguments,
                                           std::string& error) {
    SegweldCommand command = ParseSegweldCommand(arguments);
    error = command.error;
    if (error.empty() && command.mode != kWatchMode) {
        error = "a service runs --watch";
    }
    if (!error.empty()) {
        return std::nullopt;
    }
    return command;
}

std::string LogPathOf(const std::string& name, const station::StationOptions& options) {
    return station::FolderPrefix(os::AbsolutePath(options.outputFolder)) + name + ".log";
}

}  // namespace

int InstallWatchService(const SegweldCommand& command, const std::vector<std::string>& arguments) {
    const std::string& name = command.serviceName;
    if (const std::string refusal = os::RefuseServiceName(name); !refusal.empty()) {
        return Say(kExitBadArguments, refusal);
    }
    const station::StationOptions& options = command.options;
    if (!station::CheckFolders(options)) {
        return kExitBadArguments;
    }
    const std::string input = os::AbsolutePath(options.inputFolder);
    const std::string output = os::AbsolutePath(options.outputFolder);
    os::ServiceSetup setup;
    setup.name = name;
    setup.description = "Joins the segment files of the MSG products arriving in " + input +
                        " into " + output + " (segweld --watch).";
    // The arguments as typed: --install-service among them is passed over
    // when the service runs them.
    setup.arguments = {kRun, name, os::CurrentFolder()};
    setup.arguments.insert(setup.arguments.end(), arguments.begin(), arguments.end());
    setup.readFolders = {input};
    setup.changeFolders = {output};
    std::vector<std::string> notes;
    std::string error;
    const bool installed = os::InstallService(setup, notes, error);
    SayNotes(notes);
    if (!installed) {
        return Say(kExitFailures, error);
    }
    const std::string log = LogPathOf(name, options);
    if (!os::StartInstalledService(name, error)) {
        return Say(kExitFailures,
                   "installed the service " + name + ", but " + error + "; its log: " + log);
    }
    return Say(kExitDone, "the service " + name + " watches " + input + " and joins into " +
                              output + "; it runs as NT SERVICE\\" + name +
                              ", starts with Windows, is restarted when it fails, and logs to " +
                              log);
}

int UninstallWatchService(const std::string& name) {
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
    if (os::EnterFolder((*installed)[2], ignored)) {
        const auto command = WatchCommand(
            std::vector<std::string>(installed->begin() + 3, installed->end()), ignored);
        if (command) {
            folders = {os::AbsolutePath(command->options.inputFolder),
                       os::AbsolutePath(command->options.outputFolder)};
        }
    }
    std::vector<std::string> notes;
    const bool removed = os::UninstallService(name, folders, notes, error);
    SayNotes(notes);
    return removed ? Say(kExitDone, "removed the service " + name) : Say(kExitFailures, error);
}

int RunWatchService(const std::vector<std::string>& serviceRun) {
    const std::string& name = serviceRun[0];
    std::string error;
    if (!os::EnterFolder(serviceRun[1], error)) {
        return Say(kExitBadArguments, error);
    }
    const std::vector<std::string> arguments(serviceRun.begin() + 2, serviceRun.end());
    auto command = WatchCommand(arguments, error);
    if (!command) {
        return Say(kExitBadArguments, error);
    }
    station::StationOptions& options = command->options;
    options.commandLine = arguments;
    const auto status = os::RunAsService(
        name, LogPathOf(name, options),
        [&] { return station::RunStationCommand(options, LoadImageWriter); }, error);
    return status ? *status : Say(kExitBadArguments, error);
}

}  // namespace segweld
