#include "station/then_command.h"

#include "station/time_stamp.h"

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

LogLine DescribeThenOutcome(const std::string& program, const os::CommandOutcome& outcome,
                            std::chrono::milliseconds timeout, const char* option) {
    const std::string what = std::string(option) + " " + program + ": ";
    if (!outcome.started) {
        return {LogLevel::Warning, what + "could not be started: " + outcome.error};
    }
    if (outcome.timedOut) {
        return {LogLevel::Warning, what + "still running after " + HumanInterval(timeout) +
                                       "; it and what it started were ended"};
    }
    if (outcome.stopped) {
        return {LogLevel::Info, what + "ended, as the watch stops"};
    }
    if (outcome.signal != 0) {
        return {LogLevel::Warning, what + "ended by signal " + std::to_string(outcome.signal)};
    }
    const std::string status = what + "exit status " + std::to_string(outcome.exitStatus);
    return {outcome.exitStatus == 0 ? LogLevel::Info : LogLevel::Warning, status};
}

ThenRunner::ThenRunner(std::vector<std::string> command, std::chrono::milliseconds timeout,
                       std::function<void(const LogLine&)> log, const char* option)
    : command_(std::move(command)), timeout_(timeout), log_(std::move(log)), option_(option) {}

ThenRunner::~ThenRunner() {
    StopAll();
}

void ThenRunner::Start(const std::string& outputPath) {
    std::lock_guard lock(mutex_);
    JoinFinished();
    if (command_.empty()) {
        return;
    }
    Run& run = runs_.emplace_back();
    run.thread = std::thread(
        [this, &run, arguments = ThenArguments(command_, outputPath), timeout = timeout_] {
            const os::CommandOutcome outcome =
                os::RunCommand(arguments, {timeout, &stopper_, std::chrono::seconds(2)});
            log_(DescribeThenOutcome(arguments.front(), outcome, timeout, option_));
            run.done = true;
        });
}

void ThenRunner::Reconfigure(std::vector<std::string> command, std::chrono::milliseconds timeout) {
    std::lock_guard lock(mutex_);
    command_ = std::move(command);
    timeout_ = timeout;
}

void ThenRunner::JoinFinished() {
    for (auto run = runs_.begin(); run != runs_.end();) {
        if (run->done) {
            run->thread.join();
            run = runs_.erase(run);
        } else {
            ++run;
        }
    }
}

void ThenRunner::StopAll() {
    stopper_.Stop();
    std::lock_guard lock(mutex_);
    for (Run& run : runs_) {
        run.thread.join();
    }
    runs_.clear();
}

}  // namespace segweld::station
