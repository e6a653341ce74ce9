#include "station/then_command.h"

#include "os/run_command.h"

namespace segweld::station {

std::vector<std::string> ThenArguments(const std::vector<std::string>& command,
                                       const std::string& outputPath) {
    std::vector<std::string> arguments;
    arguments.reserve(command.size());
    for (std::string argument : command) {
        for (size_t at = argument.find("{}"); at != std::string::npos;
             at = argument.find("{}", at + outputPath.size())) {
            argument.replace(at, 2, outputPath);
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::string RunThenCommand(const std::vector<std::string>& command, const std::string& outputPath) {
    const os::CommandOutcome outcome = os::RunCommand(ThenArguments(command, outputPath));
    const std::string what = "then " + command.front() + ": ";
    if (!outcome.started) {
        return what + "could not be started: " + outcome.error;
    }
    if (outcome.signal != 0) {
        return what + "ended by signal " + std::to_string(outcome.signal);
    }
    return what + "exit status " + std::to_string(outcome.exitStatus);
}

}  // namespace segweld::station
