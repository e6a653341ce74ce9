// Runs the real segweld program the way a user does, in temporary folders.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "join/segment_name.h"
#include "os/file_system.h"
#include "tests/support/product_files.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace segweld {
namespace {

using test::DistinctData;
using test::ListFolder;
using test::ProgramResult;
using test::ReadFile;
using test::RunOptions;
using test::SegmentFileName;
using test::SmallSegment;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kSegweld = SEGWELD_BIN;

ProgramResult Segweld(std::vector<std::string> arguments, const RunOptions& options = {}) {
    arguments.insert(arguments.begin(), kSegweld);
    return test::RunProgram(arguments, options);
}

class CommandLineTest : public ::testing::Test, protected test::ProductFolders {
  protected:
    std::vector<uint8_t> WriteSeries(int count, size_t size = 1000) {
        return ProductFolders::WriteSeries(1, count, size);
    }
};

TEST_F(CommandLineTest, ArgumentChecksRunInTheirOrder) {
    WriteSeries(1);
    const std::string missing = input / "missing";
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        {{Path(1)},
         "No output folder specified: Please specify a folder where to write the resulting "
         "joined file.\n"},
        {{missing},
         "No output folder specified: Please specify a folder where to write the "
         "resulting joined file.\n"},
        {{missing, output.path().string()}, "Check input file: The input file does not exist.\n"},
        {{missing, missing}, "Check input file: The input file does not exist.\n"},
        {{Path(1), missing}, "Check output folder: The output folder does not exist.\n"},
        {{"--fill-gaps"}, "segweld: --fill-gaps needs a segment file and an output folder\n"},
        {{Path(1) + "\t" + output.path().string()},
         "No output folder specified: Please specify a folder where to write the resulting "
         "joined file.\n"},
    };
    for (const Case& c : cases) {
        const ProgramResult result = Segweld(c.arguments);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_EQ(result.err, c.message);
        EXPECT_EQ(result.out, "");
    }
    EXPECT_THAT(ListFolder(output.path()), ElementsAre());
}

TEST_F(CommandLineTest, HelpAndVersion) {
    const ProgramResult help = Segweld({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, StartsWith("Usage: segweld"));
    const ProgramResult version = Segweld({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_THAT(version.out, StartsWith("segweld 1."));
}

TEST_F(CommandLineTest, JoinsAProductGivenByAPathWithBlanks) {
    const auto expected = WriteSeries(8);
    const ProgramResult result = Segweld({Path(3), output.path().string() + "/"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(ReadFile(OutputPath(3, ".segm")), expected);
    EXPECT_THAT(ListFolder(output.path()), ElementsAre(OutputName(3, ".segm")));
}

TEST_F(CommandLineTest, PathWithoutFolderIsLookedUpInTheWorkingFolder) {
    const auto expected = WriteSeries(2);
    RunOptions inInput;
    inInput.workingFolder = inputFolder;
    const ProgramResult result = Segweld({SegmentFileName(1), output.path().string()}, inInput);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadFile(OutputPath(1, ".segm")), expected);
}

TEST_F(CommandLineTest, NothingJoinedSaysWhyAndWhere) {
    test::WriteFile(Path(2), SmallSegment(2, DistinctData(2)));
    const ProgramResult missingFirst = Segweld({Path(2), output.path().string()});
    EXPECT_EQ(missingFirst.exitCode, 1);
    EXPECT_THAT(missingFirst.err, HasSubstr(Path(1)));
    EXPECT_THAT(missingFirst.err, HasSubstr("does not exist"));

    test::WriteFile(Path(1), {'j', 'u', 'n', 'k'});
    std::filesystem::remove(Path(2));
    const ProgramResult refused = Segweld({Path(1), output.path().string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.err, HasSubstr("header refused"));
    EXPECT_THAT(refused.err, HasSubstr("Nothing joined"));
    EXPECT_THAT(ListFolder(output.path()), ElementsAre());
}

TEST_F(CommandLineTest, MissingSegmentsAndFilesBeyondTheGapAreNamed) {
    const auto expected = WriteSeries(2);
    ProductFolders::WriteSeries(4, 5);
    const ProgramResult result = Segweld({Path(1), output.path().string()});
    EXPECT_EQ(result.exitCode, 0) << "the join itself still succeeds";
    EXPECT_EQ(result.err,
              "segweld: warning: only 2 of the 8 planned segments (1 to 8) were joined; not "
              "joined: 3-8\nsegweld: warning: no file exists for segment 3, so the walk ended "
              "there; segment files beyond it were not joined: 4-5\n");
    EXPECT_EQ(ReadFile(OutputPath(1, ".segm")), expected);

    std::filesystem::remove(Path(1));
    const ProgramResult none = Segweld({Path(2), output.path().string()});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_THAT(none.err, HasSubstr("no file exists for segment 1"));
    EXPECT_THAT(none.err, HasSubstr("not joined: 2, 4-5\n"));
}

TEST_F(CommandLineTest, OutputFolderThatIsAFile) {
    WriteSeries(2);
    const std::string plain = output / "plain";
    test::WriteFile(plain, {'x'});
    const ProgramResult result = Segweld({Path(1), plain});
    EXPECT_EQ(result.exitCode, 1);
    const std::string folder = plain + kFolderSeparator;
    const std::string name = OutputPath(1, ".segm").substr(output.path().string().size() + 1);
    // The system's own words for a name under a file ("Not a directory" on Linux).
    const std::string reason = os::LookAt(folder + name).error;
    EXPECT_EQ(result.err, "segweld: Cannot create the output file " + folder + name + " in " +
                              folder + ": " + reason + "\n");
}

TEST_F(CommandLineTest, FullDiskLeavesTheExistingOutputWhole) {
    if (!test::FileSizeLimitsExist()) {
        GTEST_SKIP() << "a full disk is simulated with a file size limit, which this system lacks";
    }
    WriteSeries(3, 1000);
    const std::string target = OutputPath(1, ".segm");
    test::WriteFile(target, {'o', 'l', 'd'});
    RunOptions limited;
    limited.fileSizeLimit = 2500;  // the third data field does not fit
    const ProgramResult result = Segweld({Path(1), output.path().string()}, limited);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.signal, 0);
    EXPECT_THAT(result.err, HasSubstr("Cannot write the output file " + target));
    EXPECT_THAT(result.err, HasSubstr("File too large"));
    EXPECT_EQ(ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_THAT(ListFolder(output.path()), ElementsAre(OutputName(1, ".segm")));
}

TEST_F(CommandLineTest, DamagedSegmentsAreReportedAndTheJoinGoesOn) {
    WriteSeries(8);
    const auto partial = DistinctData(2, 300);
    test::WriteFile(Path(2), SmallSegment(2, partial, 1000));
    if (!test::FifosExist()) {
        GTEST_SKIP() << "the unreadable segment is a FIFO, which this system lacks";
    }
    std::filesystem::remove(Path(3));
    ASSERT_TRUE(test::MakeFifo(Path(3)));

    const ProgramResult result = Segweld({Path(1), output.path().string()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "segweld: warning: segment " + Path(2) +
                              " holds 300 of its 1000 data bytes; zeros stand for the missing "
                              "700\nsegweld: warning: segment " +
                              Path(3) +
                              " skipped: not a regular file\nsegweld: warning: only 7 of the 8 "
                              "planned segments (1 to 8) were joined; not joined: 3\n");
    EXPECT_EQ(ReadFile(OutputPath(1, ".segm")).size(), 7000u);
}

TEST_F(CommandLineTest, UnexpectedRecordTypesAreListedOnStandardOutput) {
    auto segment = test::HeaderBuilder()
                       .Primary(0, 8 * 4)
                       .Annotation(SegmentFileName(1))
                       .Record(8, {})
                       .Record(140, {1, 2})
                       .Build();
    segment.insert(segment.end(), {'D', 'A', 'T', 'A'});
    test::WriteFile(Path(1), segment);
    const ProgramResult result = Segweld({Path(1), output.path().string()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "Unexpected hdrtype=8\nUnexpected hdrtype=140\n");
    EXPECT_EQ(ReadFile(OutputPath(1, ".data")), (std::vector<uint8_t>{'D', 'A', 'T', 'A'}));
}

TEST_F(CommandLineTest, FillGapsPutsEveryPresentSegmentAtItsPlace) {
    const std::tuple<std::vector<int>, uint8_t, const char*> rows[] = {
        {{3, 5}, 'S', "missing segments 3, 5 written as zeros in their place"},
        {{1, 8}, 'S', "missing segments 1, 8 written as zeros in their place"},
        {{3}, 0xFF, "--fill-gaps has no effect"},  // FF 01: compressed, so no size is known
    };
    for (const auto& [missing, firstByte, warning] : rows) {
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
        const ProgramResult result = Segweld({"--fill-gaps", Path(given), output.path().string()});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_THAT(result.err, HasSubstr(warning));
        EXPECT_EQ(ReadFile(OutputPath(given, firstByte == 0xFF ? ".xyz" : ".segm")), expected);
    }
}

}  // namespace
}  // namespace segweld
