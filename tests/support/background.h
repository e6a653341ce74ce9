// A program under test running beside the test (POSIX only), and waiting for
// what it does.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_folder.h"

namespace segweld::test {

// Calls `done` every 10 ms until it is true, for 15 seconds at least.
inline bool WaitUntil(const auto& done) {
    for (int tries = 0; !done(); ++tries) {  // never again once true: it may reap
        if (tries == 1500)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

inline std::string Text(const std::string& path) {
    const auto bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

// A program running beside the test, its output into a log file, until it is
// signalled; killed if the test ends first.
class Background {
  public:
    Background(std::vector<std::string> arguments, std::string logPath,
               std::vector<std::string> environment = {})
        : logPath_(logPath) {
        std::vector<char*> argv(arguments.size() + 1);  // ends with a null pointer
        std::ranges::transform(arguments, argv.begin(), [](std::string& a) { return a.data(); });
        std::vector<std::string> variables = Overridden(environment);
        std::vector<char*> envp(variables.size() + 1);
        std::ranges::transform(variables, envp.begin(), [](std::string& v) { return v.data(); });
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, logPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        // Files the test holds open for writing must not stay open in the
        // program too: their close would then not count as the last one.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background() {
        if (pid_ > 0 && kill(pid_, SIGKILL) == 0)
            waitpid(pid_, nullptr, 0);
    }

    std::string Log() const { return Text(logPath_); }
    pid_t pid() const { return pid_; }
    // Sends `signal`; the exit status, or -1 when it did not exit normally in time.
    int Stop(int signal) {
        kill(pid_, signal);
        int status = 0;
        if (!WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }))
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    // The test's environment with `settings` in place of variables of the
    // same name: the first of two equal names is the one a program reads.
    static std::vector<std::string> Overridden(const std::vector<std::string>& settings) {
        auto name = [](const std::string& v) { return v.substr(0, v.find('=')); };
        std::vector<std::string> variables;
        for (char** v = environ; *v != nullptr; ++v) {
            const std::string variable = *v;
            if (std::ranges::none_of(settings, [&](auto& s) { return name(s) == name(variable); }))
                variables.push_back(variable);
        }
        variables.insert(variables.end(), settings.begin(), settings.end());
        return variables;
    }

    pid_t pid_ = -1;
    std::string logPath_;
};

}  // namespace segweld::test
