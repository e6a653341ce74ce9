// The command line: how its tail splits, and the real segweld program run the
// way a user does, in temporary folders.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/segweld_app.h"
#include "tests/support/product_files.h"
#include "tests/support/run_program.h"

namespace segweld {
namespace {

using namespace test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::pair<std::string, std::string> FirstTwo(const std::string& tail) {
    CSegweldApp app;
    int cursor = 0;  // a braced list runs its calls in order
    return {app.SplitCommandArgument(tail, cursor), app.SplitCommandArgument(tail, cursor)};
}

TEST(SplitCommandArgument, RawTails) {
    const std::string cases[][3] = {
        // the tail, then its first two arguments
        {"", "", ""},
        {"\"\" /data/x", "", "/data/x"},
        {"/data/seg", "/data/seg", ""},
        {"/data/seg  /out", "/data/seg", ""},
        {"/data/seg\t/out", "/data/seg\t/out", ""},
        {"a b c", "a", "b"},
        {"\"C:\\seg dir\\first file\" \"D:\\out dir\"", "C:\\seg dir\\first file", "D:\\out dir"},
        {"C:\\x\"y z\"\\f out", "C:\\x y z \\f", "out"},
        {"\"/never closed /out", "/never closed /out", ""},
        {" lead", "lead", ""},  // a blank at index 0 separates nothing
    };
    for (const auto& [tail, first, second] : cases) {
        EXPECT_EQ(FirstTwo(tail), std::pair(first, second)) << "tail: " << tail;
    }
}

TEST(CommandTail, ArgumentsFromArgvSurviveTheSplit) {
    const char* argv[] = {"segweld", "/data/seg dir/first file", "/out dir", "ignored"};
    const std::string tail = FormCommandTail(4, const_cast<char**>(argv));
    EXPECT_EQ(tail, "\"/data/seg dir/first file\" \"/out dir\" \"ignored\"");
    EXPECT_EQ(FirstTwo(tail),
              (std::pair<std::string, std::string>("/data/seg dir/first file", "/out dir")));

    const char* empty[] = {"segweld", "", "/out"};
    EXPECT_EQ(FirstTwo(FormCommandTail(3, const_cast<char**>(empty))).first, "")
        << "an empty first argument takes the dialog mode";
}

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
    const std::string noInput =
        "Check input file: The input file does not exist.\n" + missing + "\n";
    const std::string refused = "segweld: the argument '";
    // A build without images refuses the mode before it looks at any path.
#ifdef SEGWELD_HAS_GEOTIFF
    const std::string imageOutputIsAFile =
        "Check output folder: The output folder " + Path(1) + " is a file, not a folder.\n";
#else
    const std::string imageOutputIsAFile =
        "segweld: this build cannot write GeoTIFF: it was built without GDAL\n";
#endif
#if defined(SEGWELD_HAS_NETCDF)
    const std::string netCdfOutputIsAFile = imageOutputIsAFile;
#elif defined(SEGWELD_HAS_GEOTIFF)
    const std::string netCdfOutputIsAFile =
        "segweld: this build cannot write NetCDF: it was built without the NetCDF library\n";
#else
    const std::string netCdfOutputIsAFile =
        "segweld: this build cannot write NetCDF: it was built without GDAL\n";
#endif
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{Path(1)}, noOutput},
        {{missing}, noOutput},
        {{missing, out}, noInput},
        {{missing, missing}, noInput},
        {{Path(1), missing}, "Check output folder: The output folder does not exist.\n"},
        {{"--geotiff", Path(1), Path(1)}, imageOutputIsAFile},
        {{"--netcdf", Path(1), Path(1)}, netCdfOutputIsAFile},
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
        EXPECT_EQ(std::tie(result.exitCode, result.err, result.out), std::tuple(2, message, ""));
    }
    EXPECT_THAT(ListFolder(output.path()), ElementsAre());
}

// A file that cannot start a join is named with the dialog's reason and
// nothing is written; an odd name that leads to a segment 1 still joins.
TEST_F(CommandLineTest, AFileThatIsNoSegmentFileIsNamedWithTheReason) {
    WriteSeries(1, 2);
    const std::string name = SegmentFileName(1), odd = inputFolder + "/odd";
    const std::string prologue =
        inputFolder + "/" + name.substr(0, 36) + "PRO___" + name.substr(42);
    for (const std::string& path : {prologue, odd, odd + "000001"}) {
        WriteFile(path, SmallSegment(1, DistinctData(1)));
    }
    const std::tuple<std::string, int, std::string> rows[] = {
        {inputFolder, 1, "the first file " + inputFolder + " is a folder, not a segment file."},
        {prologue, 1, prologue + " is the prologue of its product, not a segment file."},
        {odd, 0, ""},
    };
    for (const auto& [path, status, why] : rows) {
        const ProgramResult result = Segweld({path, out});
        EXPECT_EQ(result.exitCode, status) << result.err;
        EXPECT_EQ(result.err.substr(0, why.empty() ? 0 : 25 + why.size()),
                  why.empty() ? "" : "segweld: Nothing joined: " + why);
        EXPECT_EQ(ListFolder(output.path()).size(), status == 0 ? 1u : 0u);
    }
}

// -v ends a single join with the line that --batch logs for its product.
TEST_F(CommandLineTest, VerboseJoinEndsWithTheBatchResultLine) {
    WriteSeries(1, 5);
    const std::string quiet = Segweld({Path(1), out}).err;
    const ProgramResult verbose = Segweld({"-v", Path(1), out});
    EXPECT_EQ(verbose.exitCode, 0);
    ASSERT_EQ(verbose.err.substr(0, quiet.size()), quiet) << "the warnings come first";
    const std::string line = verbose.err.substr(quiet.size());
    EXPECT_THAT(line, ::testing::StartsWith("segweld: incomplete H-000-MSG1__-MSG1___"));
    EXPECT_THAT(line, ::testing::EndsWith(OutputPath(1, ".segm") + "; missing 6-8\n"));
}

// Paths with blanks are joined throughout the app tests; here a bare file name.
TEST_F(CommandLineTest, JoinsFromTheWorkingFolder) {
    const auto expected = WriteSeries(1, 8);
    const ProgramResult result =
        Segweld({SegmentFileName(1), out + "/"}, {.workingFolder = inputFolder});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(ReadFile(OutputPath(1, ".segm")), expected);
    EXPECT_THAT(ListFolder(output.path()), ElementsAre(OutputName(1, ".segm")));
}

TEST_F(CommandLineTest, FullDiskLeavesTheExistingOutputWhole) {
    if (!test::FileSizeLimitsExist()) {
        GTEST_SKIP() << "a full disk is simulated with a file size limit, which this system lacks";
    }
    WriteSeries(1, 3);
    const std::string target = OutputPath(1, ".segm");
    WriteFile(target, {'o', 'l', 'd'});
    // The third data field does not fit.
    const ProgramResult result = Segweld({Path(1), out}, {.fileSizeLimit = 2500});
    EXPECT_EQ(std::pair(result.exitCode, result.signal), std::pair(1, 0));
    EXPECT_THAT(result.err,
                HasSubstr("Cannot write the output file " + target + ": File too large"));
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
        std::filesystem::remove_all(os::PathOf(inputFolder));
        std::filesystem::create_directory(os::PathOf(inputFolder));
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
        // Following a plan, the output is named after the plan's first segment.
        const int naming = firstByte == 0xFF ? given : 1;
        EXPECT_EQ(ReadFile(OutputPath(naming, firstByte == 0xFF ? ".xyz" : ".segm")), expected);
    }
}

}  // namespace
}  // namespace segweld
