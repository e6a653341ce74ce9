// The dialog mode started where no display can be had.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct Outcome {
    int status = -1;
    std::string errors;
};

// Runs segweld with no arguments in the environment `env` sets up, keeping
// what it writes to standard error.
Outcome RunSegweld(const std::string& env) {
    const std::string command = "env " + env + " '" SEGWELD_PROGRAM "' 2>&1 >/dev/null";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return outcome;
    }
    std::array<char, 4096> buffer{};
    while (size_t count = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
        outcome.errors.append(buffer.data(), count);
    }
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

TEST(DialogModeTest, WithoutADisplaySaysSoAndShowsTheUsage) {
    for (const std::string env :
         {"-u DISPLAY -u WAYLAND_DISPLAY", "-u WAYLAND_DISPLAY DISPLAY=:9753"}) {
        SCOPED_TRACE(env);
        const Outcome outcome = RunSegweld(env);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_NE(outcome.errors.find("no display is available"), std::string::npos)
            << outcome.errors;
        EXPECT_NE(outcome.errors.find("Usage: segweld"), std::string::npos) << outcome.errors;
    }
}

}  // namespace
