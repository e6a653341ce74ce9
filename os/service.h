#pragma once

// The watch as a Windows service: installed to start with the system under
// an account of its own, restarted when it fails, and removed again. Exactly
// one implementation is built: win32_service.cpp, or posix_service.cpp,
// where every call says that services of this kind are Windows's.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace segweld::os {

struct ServiceSetup {
    std::string name;  // of the service, and of its account NT SERVICE\NAME
    std::string description;
    // The program's arguments (after the program itself) when the service
    // manager starts it.
    std::vector<std::string> arguments;
    // The service's account may read these folders and what they hold, and
    // change what `changeFolders` hold.
    std::vector<std::string> readFolders;
    std::vector<std::string> changeFolders;
};

// Why `name` cannot name a service; empty when it can.
std::string RefuseServiceName(const std::string& name);

// Registers the service, to start automatically and to be restarted when it
// fails, and its event source, and gives its account access to the folders. What the user should
// know besides (a step the system refused, which is not fatal) is added to
// `notes`. False with `error` when the service could not be registered.
bool InstallService(const ServiceSetup& setup, std::vector<std::string>& notes, std::string& error);

// Starts the service and waits until it runs (true) or stops again.
bool StartInstalledService(const std::string& name, std::string& error);

// The arguments, after the program, that the service `name` starts its
// program with; nullopt with `error` when there is no such service.
std::optional<std::vector<std::string>> ServiceArguments(const std::string& name,
                                                         std::string& error);

// Stops the service, takes back from its account the access to `folders`
// and removes it and its event source. Steps refused but not fatal go to `notes`.
bool UninstallService(const std::string& name, const std::vector<std::string>& folders,
                      std::vector<std::string>& notes, std::string& error);

// Runs `body` as the service `name`, when the service manager started this
// process: the service says it is starting until the watch takes its first
// look at the folder, then running; Stop and the system's shut-down stop the
// watch as Ctrl+C does. Standard output and error, of this program and of
// the programs it starts, go to the Windows Event Log (the Application log,
// source NAME), an event a line, at the level that the line's journal
// prefix gives (IsJournalStream() is then true).
// Returns the body's exit status, which the service reports; nullopt with
// `error` when the service manager did not start this process.
std::optional<int> RunAsService(const std::string& name,
                                const std::function<int()>& body, std::string& error);

}  // namespace segweld::os
