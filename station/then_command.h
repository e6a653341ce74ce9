#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "os/run_command.h"
#include "station/log_line.h"

namespace segweld::station {

// The command of --then for one output: every "{}" in every argument is
// replaced by `outputPath`.
std::vector<std::string> ThenArguments(const std::vector<std::string>& command,
                                       const std::string& outputPath);

// What became of one run of the command, for the log: a warning unless it
// ended with status 0. `option` names the command: "then" or "then-slot".
LogLine DescribeThenOutcome(const std::string& program, const os::CommandOutcome& outcome,
                            std::chrono::milliseconds timeout, const char* option = "then");

// Runs the --then command for each output (or --then-slot for each slot's
// manifest) beside the joins, each run on a
// thread of its own, so that a command that hangs holds neither a join nor
// the watch; past `timeout` its process group is ended. `log` is called from
// those threads.
class ThenRunner {
  public:
    ThenRunner(std::vector<std::string> command, std::chrono::milliseconds timeout,
               std::function<void(const LogLine&)> log, const char* option = "then");
    ThenRunner(const ThenRunner&) = delete;
    ThenRunner& operator=(const ThenRunner&) = delete;
    // Stops the commands under way, as StopAll().
    ~ThenRunner();

    // Runs the command for `outputPath`; nothing without a command.
    void Start(const std::string& outputPath);
    // The command and time limit for the runs that start from now on.
    void Reconfigure(std::vector<std::string> command, std::chrono::milliseconds timeout);
    // Ends the process groups of the commands under way and waits for them.
    void StopAll();

  private:
    struct Run {
        std::thread thread;
        std::atomic<bool> done = false;
    };
    void JoinFinished();

    std::vector<std::string> command_;  // guarded by mutex_, as timeout_
    std::chrono::milliseconds timeout_;
    const std::function<void(const LogLine&)> log_;
    const char* const option_;
    os::CommandStopper stopper_;
    std::mutex mutex_;
    std::list<Run> runs_;
};

}  // namespace segweld::station
