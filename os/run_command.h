#pragma once

// Runs another program and waits for it. Exactly one implementation is built:
// posix_run_command.cpp or win32_run_command.cpp.

#include <string>
#include <vector>

namespace segweld::os {

struct CommandOutcome {
    bool started = false;
    int exitStatus = -1;  // when it exited
    int signal = 0;       // the signal that ended it, if one did
    std::string error;    // why it did not start
};

// Runs arguments[0] (looked up on PATH when it holds no separator) with the
// arguments as they are, no shell in between, standard input from the null
// device and the caller's standard output and error. The program starts with
// no signal blocked and default signal handling, whatever the caller's thread
// has. Safe to call from several threads at once.
CommandOutcome RunCommand(const std::vector<std::string>& arguments);

}  // namespace segweld::os
