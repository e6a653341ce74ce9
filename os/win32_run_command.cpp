#include <process.h>

#include <cerrno>
#include <cstring>

#include "os/run_command.h"

namespace segweld::os {

CommandOutcome RunCommand(const std::vector<std::string>& arguments) {
    CommandOutcome outcome;
    if (arguments.empty()) {
        outcome.error = "no command given";
        return outcome;
    }
    // _spawnvp joins the arguments into one command line: each one is quoted
    // so that blanks inside it survive.
    std::vector<std::string> quoted;
    for (const std::string& argument : arguments) {
        quoted.push_back("\"" + argument + "\"");
    }
    std::vector<const char*> argv;
    for (const std::string& argument : quoted) {
        argv.push_back(argument.c_str());
    }
    argv.push_back(nullptr);
    const intptr_t status = _spawnvp(_P_WAIT, arguments[0].c_str(), argv.data());
    if (status == -1) {
        outcome.error = std::strerror(errno);
        return outcome;
    }
    outcome.started = true;
    outcome.exitStatus = static_cast<int>(status);
    return outcome;
}

}  // namespace segweld::os
