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
    std::string workingFolder;          // empty: the test's own
    std::optional<long> fileSizeLimit;  // RLIMIT_FSIZE in bytes
};

// Runs a program with the given arguments (argv[0] included), collects what
// it writes and how it ended; it never reads standard input.
ProgramResult RunProgram(const std::vector<std::string>& arguments, const RunOptions& options = {});

}  // namespace segweld::test
