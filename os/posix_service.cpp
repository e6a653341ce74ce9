#include "os/service.h"

namespace segweld::os {
namespace {

const char* const kWindowsOnly =
    "Windows services are made on Windows only; on Linux, run the watch as a systemd service";

}  // namespace

std::string RefuseServiceName(const std::string&) {
    return kWindowsOnly;
}

bool InstallService(const ServiceSetup&, std::vector<std::string>&, std::string& error) {
    error = kWindowsOnly;
    return false;
}

bool StartInstalledService(const std::string&, std::string& error) {
    error = kWindowsOnly;
    return false;
}

std::optional<std::vector<std::string>> ServiceArguments(const std::string&, std::string& error) {
    error = kWindowsOnly;
    return std::nullopt;
}

bool UninstallService(const std::string&, const std::vector<std::string>&,
                      std::vector<std::string>&, std::string& error) {
    error = kWindowsOnly;
    return false;
}

std::optional<int> RunAsService(const std::string&, const std::function<int()>&,
                                std::string& error) {
    error = kWindowsOnly;
    return std::nullopt;
}

}  // namespace segweld::os
