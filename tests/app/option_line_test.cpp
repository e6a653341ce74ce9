// segweld's command line as a user types it: options after the paths, words
// it does not know, and the help of one mode.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/product_files.h"
#include "tests/support/run_program.h"

namespace segweld {
namespace {

using namespace test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

class OptionLineTest : public ::testing::Test, protected ProductFolders {
  protected:
    ProgramResult Segweld(std::vector<std::string> arguments) {
        return RunProgram(SEGWELD_BIN, std::move(arguments));
    }
    const std::string out = output.path().string();
};

// Segment 1 is missing: only --fill-gaps joins the product, wherever it stands.
TEST_F(OptionLineTest, AnOptionAfterThePathsIsTakenAndOtherWordsAreNamed) {
    for (int number = 2; number <= 8; ++number) {
        WriteSegment(number, DistinctData(number));
    }
    const std::string filled = "1 written as zeros in their place";
    const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
        {{"--fill-gaps", Path(2), out}, 0, filled},
        {{Path(2), out, "--fill-gaps"}, 0, filled},
        {{Path(2), out, "extra", "--frobnicate"},
         1,
         "segweld: warning: unknown option '--frobnicate'; ignored\n"
         "segweld: warning: extra argument 'extra'; ignored\n"},
    };
    std::vector<std::vector<uint8_t>> outputs;
    for (const auto& [arguments, exitCode, said] : rows) {
        SCOPED_TRACE(::testing::PrintToString(arguments));
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        const ProgramResult result = Segweld(arguments);
        EXPECT_EQ(result.exitCode, exitCode) << result.err;
        EXPECT_THAT(result.err, HasSubstr(said));
        if (exitCode == 0) {
            // Named after the plan's first segment, which --fill-gaps walks from.
            outputs.push_back(ReadFile(OutputPath(1, ".segm")));
        }
    }
    ASSERT_EQ(outputs.size(), 2u);
    EXPECT_EQ(outputs[0], outputs[1]);
}

TEST_F(OptionLineTest, RefusalsNameTheArgumentAndPointToHelp) {
    WriteSeries(1, 2);
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"--frobnicate", Path(1), out},
         "segweld: unknown option '--frobnicate'\nTry 'segweld --help' for more information.\n"},
        {{Path(1), "-j2", out},
         "segweld: -j belongs to --batch and --watch\nTry 'segweld --help' for more "
         "information.\n"},
        {{"--batch", inputFolder, out, "--timeout", "5"},
         "segweld: --timeout belongs to --watch\nTry 'segweld --batch --help' for more "
         "information.\n"},
        {{"--", "-h", out}, "Check input file: The input file does not exist.\n-h\n"},
    };
    for (const auto& [arguments, message] : rows) {
        SCOPED_TRACE(message);
        const ProgramResult result = Segweld(arguments);
        EXPECT_EQ(std::tie(result.exitCode, result.err, result.out), std::tuple(2, message, ""));
    }
    EXPECT_THAT(ListFolder(output.path()), ElementsAre());
}

TEST_F(OptionLineTest, HelpOfOneMode) {
    const ProgramResult batch = Segweld({"--batch", "--help"});
    EXPECT_EQ(std::tie(batch.exitCode, batch.err), std::tuple(0, ""));
    EXPECT_THAT(batch.out, ::testing::StartsWith("Usage: segweld --batch ["));
    EXPECT_THAT(batch.out, HasSubstr("--shard=K/N"));
    EXPECT_THAT(batch.out, HasSubstr("(0 <= K < N)"));
    EXPECT_THAT(batch.out, Not(HasSubstr("--timeout")));
}

}  // namespace
}  // namespace segweld
