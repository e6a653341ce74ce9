#pragma once

// Runs another program and waits for it, within a time limit. Exactly one
// implementation is built: posix_run_command.cpp or win32_run_command.cpp.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace segweld::os {

struct CommandOutcome {
    bool started = false;
    int exitStatus = -1;    // when it exited
    int signal = 0;         // the signal that ended it, if one did
    bool timedOut = false;  // it ran past its time and was ended
    bool stopped = false;   // CommandStopper::Stop() ended it
    std::string error;      // why it did not start
};

// Ends, once stopped, every command run with it: Stop() is for a process
// that is shutting down. Any thread may call it.
class CommandStopper {
  public:
    CommandStopper();
    CommandStopper(const CommandStopper&) = delete;
    CommandStopper& operator=(const CommandStopper&) = delete;
    ~CommandStopper();

    void Stop();
    bool stopped() const;

    struct Native;
    const Native& native() const { return *native_; }

  private:
    std::unique_ptr<Native> native_;
};

struct CommandLimits {
    // How long it may run; nullopt: as long as it takes.
    std::optional<std::chrono::milliseconds> timeout;
    const CommandStopper* stopper = nullptr;
    // After the polite request to end (SIGTERM to its whole process group),
    // how long before it is killed.
    std::chrono::milliseconds grace = std::chrono::seconds(2);
};

// Runs arguments[0] (looked up on PATH when it holds no separator) with the
// arguments as they are, no shell in between, standard input from the null
// device and the caller's standard output and error, in a process group of
// its own, so that ending it ends whatever it started. The program starts with
// no signal blocked and default signal handling, whatever the caller's thread
// has. Past its time, or when stopped, the group is asked to end, then
// killed. Safe to call from several threads at once.
CommandOutcome RunCommand(const std::vector<std::string>& arguments,
                          const CommandLimits& limits = {});

}  // namespace segweld::os
