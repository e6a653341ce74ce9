#pragma once

#include <optional>
#include <string>
#include <vector>

namespace segweld::test {

struct ProgramResult {
    int exitCode = -1;  // -1 when the program did not exit normally
    int signal = 0;     // the signal that ended it, if one did
    std::string out;
    std::string err;
};

struct RunOptions {
    std::string workingFolder{};             // empty: the test's own
    std::optional<long> fileSizeLimit{};     // RLIMIT_FSIZE in bytes
    std::vector<std::string> environment{};  // NAME=value, added to the test's own
    bool closedStandardStreams = false;      // start with descriptors 0 and 1 closed
};

// False where the system has no file size limit per process (Windows):
// RunOptions::fileSizeLimit is then refused.
bool FileSizeLimitsExist();

// True where the system has named pipes in the file system (FIFOs); then
// MakeFifo makes one at `path`.
bool FifosExist();
bool MakeFifo(const std::string& path);

// The environment that preloads the test's I/O fault shim, with its settings.
std::vector<std::string> FaultShim(std::vector<std::string> settings);

// Runs a program with the given arguments (argv[0] included), collects what
// it writes and how it ended; it never reads standard input. On Windows, the
// CR LF line endings of its output arrive as LF.
ProgramResult RunProgram(const std::vector<std::string>& arguments, const RunOptions& options = {});
// The same with `program` put before `arguments`.
inline ProgramResult RunProgram(const char* program, std::vector<std::string> arguments,
                                const RunOptions& options = {}) {
    arguments.insert(arguments.begin(), program);
    return RunProgram(arguments, options);
}

}  // namespace segweld::test
