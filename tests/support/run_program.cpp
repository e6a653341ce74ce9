#include "tests/support/run_program.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace segweld::test {
namespace {

[[noreturn]] void RunChild(const std::vector<std::string>& arguments, const RunOptions& options,
                           int outFd, int errFd) {
    dup2(outFd, STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    if (options.closedStandardStreams) {
        close(STDIN_FILENO);
        close(STDOUT_FILENO);
    }
    for (const std::string& setting : options.environment) {
        putenv(const_cast<char*>(setting.c_str()));
    }
    if (!options.workingFolder.empty() && chdir(options.workingFolder.c_str()) != 0) {
        _exit(126);
    }
    if (options.fileSizeLimit) {
        const rlim_t bytes = static_cast<rlim_t>(*options.fileSizeLimit);
        const rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

// Everything written to `file` since it was created; closes it.
std::string TakeText(FILE* file) {
    fseek(file, 0, SEEK_END);
    std::string text(static_cast<size_t>(ftell(file)), '\0');
    rewind(file);
    text.resize(fread(text.data(), 1, text.size(), file));
    fclose(file);
    return text;
}

}  // namespace

bool FileSizeLimitsExist() {
    return true;
}

bool FifosExist() {
    return true;
}

bool MakeFifo(const std::string& path) {
    return mkfifo(path.c_str(), 0644) == 0;
}

std::vector<std::string> FaultShim(std::vector<std::string> settings) {
    settings.push_back(std::string("LD_PRELOAD=") + SEGWELD_IO_FAULT_SHIM);
    // Under AddressSanitizer the shim comes before the sanitizer's runtime.
    // The suite's own sanitizer options are kept.
    const char* asan = std::getenv("ASAN_OPTIONS");
    settings.push_back(std::string("ASAN_OPTIONS=") +
                       (asan && *asan ? std::string(asan) + ":" : "") + "verify_asan_link_order=0");
    return settings;
}

ProgramResult RunProgram(const std::vector<std::string>& arguments, const RunOptions& options) {
    // Files rather than pipes: the program may write any amount before it ends.
    FILE* out = tmpfile();
    FILE* err = tmpfile();
    const pid_t child = out && err ? fork() : -1;
    if (child < 0) {
        throw std::runtime_error("cannot start " + arguments.front());
    }
    if (child == 0) {
        RunChild(arguments, options, fileno(out), fileno(err));
    }
    int status = 0;
    waitpid(child, &status, 0);
    ProgramResult result{.out = TakeText(out), .err = TakeText(err)};
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

}  // namespace segweld::test
