// The dialog mode started where no display can be had.
#include <gtest/gtest.h>

#include "tests/support/run_program.h"

namespace segweld {
namespace {

TEST(DialogModeTest, WithoutADisplaySaysSoAndShowsTheUsage) {
    for (const std::string display : {"-uDISPLAY", "DISPLAY=:9753"}) {  // none; one that fails
        SCOPED_TRACE(display);
        const test::ProgramResult result =
            test::RunProgram({"/usr/bin/env", "-uWAYLAND_DISPLAY", display, SEGWELD_PROGRAM});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err.find("no display is available"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("Usage: segweld"), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace segweld
