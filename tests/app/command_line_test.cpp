// Runs the real segweld program the way a user does, in temporary folders.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/product_files.h"
#include "tests/support/run_program.h"

namespace segweld {
namespace {

using namespace test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class CommandLineTest : public ::testing::Test, protected ProductFolders {
  protected:
    ProgramResult Segweld(std::vector<std::string> arguments, const RunOptions& options = {}) {
        return RunProgram(SEGWELD_BIN, std::move(arguments), options);
    }
    const std::string out = output.path().string();
};

TEST_F(CommandLineTest, ArgumentChecksRunInTheirOrder) {
    WriteSeries(1, 1);
    const std::string missing = input / "missing";
    const std::string noOutput =
        "No output folder specified: Please specify a folder where to "
        "write the resulting joined file.\n";
    const std::string noInput = "Check input file: The input file does not exist.\n";
    const std::string refused = "segweld: the argument '";
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{Path(1)}, noOutput},
        {{missing}, noOutput},
        {{missing, out}, noInput},
        {{missing, missing}, noInput},
        {{Path(1), missing}, "Check output folder: The output folder does not exist.\n"},
        {{"--fill-gaps"}, "segweld: --fill-gaps needs a segment file and an output folder\n"},
        {{Path(1) + "\t" + out}, noOutput},
        {{Path(1) + "\" \"" + out, out},
         refused + Path(1) + "\" \"" + out + "' holds a double quote, which no path here may\n"},
        {{Path(1), out + " "},
         refused + out + " ' begins or ends with white space, which no path here may\n"},
        {{"\t" + Path(1), out},
         refused + "\t" + Path(1) + "' begins or ends with white space, which no path here may\n"},
    };
    for (const auto& [arguments, message] : rows) {
        SCOPED_TRACE(message);
        const ProgramResult result = Segweld(arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.err, message);
        EXPECT_EQ(result.out, "");
    }
    EXPECT_THAT(ListFolder(output.path()), ElementsAre());
}

TEST_F(CommandLineTest, JoinsFromAPathWithBlanksOrFromTheWorkingFolder) {
    const auto expected = WriteSeries(1, 8);
    RunOptions inInput;
    inInput.workingFolder = inputFolder;
    const std::tuple<int, std::string, RunOptions> rows[] = {{3, Path(3), {}},
                                                             {1, SegmentFileName(1), inInput}};
    for (const auto& [first, path, options] : rows) {
        SCOPED_TRACE(path);
        const ProgramResult result = Segweld({path, out + "/"}, options);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(ReadFile(OutputPath(first, ".segm")), expected);
        std::filesystem::remove(OutputPath(first, ".segm"));
        EXPECT_THAT(ListFolder(output.path()), ElementsAre());
    }
}

TEST_F(CommandLineTest, FullDiskLeavesTheExistingOutputWhole) {
    WriteSeries(1, 3);
    const std::string target = OutputPath(1, ".segm");
    WriteFile(target, {'o', 'l', 'd'});
    RunOptions limited;
    limited.fileSizeLimit = 2500;  // the third data field does not fit
    const ProgramResult result = Segweld({Path(1), out}, limited);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.signal, 0);
    EXPECT_THAT(result.err, HasSubstr("Cannot write the output file " + target));
    EXPECT_THAT(result.err, HasSubstr("File too large"));
    EXPECT_EQ(ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_THAT(ListFolder(output.path()), ElementsAre(OutputName(1, ".segm")));
}

TEST_F(CommandLineTest, FillGapsPutsEveryPresentSegmentAtItsPlace) {
    const std::tuple<std::vector<int>, uint8_t, const char*> rows[] = {
        {{3, 5}, 'S', "missing segments 3, 5 written as zeros in their place"},
        {{1, 8}, 'S', "missing segments 1, 8 written as zeros in their place"},
        {{3}, 0xFF, "--fill-gaps has no effect"},  // FF 01: compressed, so no size is known
    };
    for (const auto& [missing, firstByte, warning] : rows) {
        SCOPED_TRACE(warning);
        std::filesystem::remove_all(inputFolder);
        std::filesystem::create_directory(inputFolder);
        std::vector<uint8_t> expected;
        for (int number = 1; number <= 8; ++number) {
            auto data = DistinctData(number);
            data[0] = firstByte;
            data[1] = firstByte == 0xFF ? 0x01 : data[1];
            const bool gap = std::find(missing.begin(), missing.end(), number) != missing.end();
            if (!gap) {
                WriteSegment(number, data);
            }
            if (firstByte == 0xFF && number >= missing.front()) {
                continue;  // the walk ends at the gap
            }
            expected.insert(expected.end(), gap ? 1000 : 0, 0);
            expected.insert(expected.end(), data.begin(), gap ? data.begin() : data.end());
        }
        const int given = missing.front() == 1 ? 2 : 1;
        const ProgramResult result = Segweld({"--fill-gaps", Path(given), out});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_THAT(result.err, HasSubstr(warning));
        EXPECT_EQ(ReadFile(OutputPath(given, firstByte == 0xFF ? ".xyz" : ".segm")), expected);
    }
}

}  // namespace
}  // namespace segweld
