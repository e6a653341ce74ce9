// The dialog mode started where no display can be had.
#include <gtest/gtest.h>

#include "tests/support/run_program.h"

namespace segweld {
namespace {

TEST(DialogModeTest, WithoutADisplaySaysSoAndShowsTheUsage) {
    const std::vector<std::vector<std::string>> environments = {
        {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY"}, {"-u", "WAYLAND_DISPLAY", "DISPLAY=:9753"}};
    for (std::vector<std::string> command : environments) {
        command.insert(command.begin(), "/usr/bin/env");
        command.push_back(SEGWELD_PROGRAM);
        SCOPED_TRACE(command[2]);
        const test::ProgramResult result = test::RunProgram(command);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err.find("no display is available"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("Usage: segweld"), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace segweld
