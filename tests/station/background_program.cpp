#include "tests/station/background_program.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/station/station_products.h"

namespace segweld::station::test {

BackgroundProgram::BackgroundProgram(const std::vector<std::string>& arguments, std::string logPath)
    : logPath_(std::move(logPath)) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const int log = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (log < 0) {
        throw std::runtime_error("cannot create " + logPath_);
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(log, STDERR_FILENO);
        dup2(log, STDOUT_FILENO);
        // Files the test holds open for writing must not stay open in the
        // program too: their close would then not count as the last one.
        close_range(3, ~0u, 0);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(log);
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
}

BackgroundProgram::~BackgroundProgram() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::string BackgroundProgram::Log() const {
    std::ifstream in(logPath_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool BackgroundProgram::WaitForLog(const std::string& text, std::chrono::milliseconds limit) const {
    return WaitUntil([&] { return Log().find(text) != std::string::npos; }, limit);
}

int BackgroundProgram::Stop(int signal) {
    kill(pid_, signal);
    int status = 0;
    const bool ended = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
    if (!ended) {
        return -1;
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace segweld::station::test
