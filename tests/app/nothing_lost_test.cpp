// Hostile files, a failing disk and unusual launchers, through the real
// programs: nothing is lost and nothing is misreported.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/product_files.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace segweld {
namespace {

using test::DistinctData;
using test::HeaderBuilder;
using test::ListFolder;
using test::ProgramResult;
using test::ReadFile;
using test::RunOptions;
using test::SegmentFileName;
using test::SmallSegment;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

ProgramResult RunTool(const char* program, std::vector<std::string> arguments,
                      const RunOptions& options = {}) {
    arguments.insert(arguments.begin(), program);
    return test::RunProgram(arguments, options);
}

struct SegmentHeader {
    uint64_t announced = 1000;
    uint16_t columns = 1000;  // 0: no image structure record
    uint16_t lines = 1;
    uint16_t sequence = 0;        // 0: the segment's own number
    std::string annotation = "";  // empty: the MSG file name
    int unexpectedRecords = 0;
};

std::vector<uint8_t> Segment(int number, const SegmentHeader& shape,
                             const std::vector<uint8_t>& data) {
    HeaderBuilder builder;
    builder.Primary(0, 8 * shape.announced);
    if (shape.columns > 0) {
        builder.ImageStructure(8, shape.columns, shape.lines, 0);
    }
    for (int i = 0; i < shape.unexpectedRecords; ++i) {
        builder.Record(200, {});
    }
    const uint16_t sequence = shape.sequence ? shape.sequence : static_cast<uint16_t>(number);
    auto bytes =
        builder.Annotation(shape.annotation.empty() ? SegmentFileName(number) : shape.annotation)
            .MsgSegmentIdentification(321, 9, sequence, 1, 8, 3)
            .Build();
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

class NothingLostTest : public ::testing::Test, protected test::ProductFolders {
  protected:
    std::string Output() const { return OutputPath(1, ".segm"); }
    std::vector<uint8_t> WriteShaped(int count, const SegmentHeader& shape = {}) {
        std::vector<uint8_t> all;
        for (int number = 1; number <= count; ++number) {
            const auto data = DistinctData(number, shape.announced);
            test::WriteFile(Path(number), Segment(number, shape, data));
            all.insert(all.end(), data.begin(), data.end());
        }
        return all;
    }
    ProgramResult Join(const RunOptions& options = {}) {
        return RunTool(SEGWELD_BIN, {Path(1), output.path().string()}, options);
    }
};

TEST_F(NothingLostTest, ClosedStandardStreamsNeverReachTheOutput) {
    SegmentHeader noisy;
    noisy.unexpectedRecords = 60;  // more "Unexpected hdrtype" lines than a stdio buffer holds
    const auto expected = WriteShaped(8, noisy);
    RunOptions closed;
    closed.closedStandardStreams = true;
    EXPECT_EQ(Join(closed).exitCode, 0);
    EXPECT_EQ(ReadFile(Output()), expected);
}

TEST_F(NothingLostTest, ReadErrorsFailWithTheFileAndTheSystemsText) {
    WriteSeries(1, 3);
    const size_t headerBytes = SmallSegment(2, {}).size();
    const std::string preview = output / "p.png";
    struct Row {
        const char* label;
        const char* program;
        std::vector<std::string> arguments;
        size_t failFrom;
    };
    const Row rows[] = {
        {"join, header", SEGWELD_BIN, {Path(1), output.path().string()}, 0},
        {"join, data field", SEGWELD_BIN, {Path(1), output.path().string()}, headerBytes},
        {"header dump", SEGWELD_INFO_BIN, {Path(2)}, 0},
        {"series", SEGWELD_INFO_BIN, {"--series", Path(1)}, 0},
        {"preview", SEGWELD_INFO_BIN, {"--preview", preview, Path(1)}, headerBytes},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        RunOptions failing;
        failing.environment =
            test::FaultShim({"SEGWELD_TEST_FAIL_READS=-000002___",
                             "SEGWELD_TEST_FAIL_READS_FROM=" + std::to_string(row.failFrom)});
        const ProgramResult result = RunTool(row.program, row.arguments, failing);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_THAT(result.err, HasSubstr(Path(2)));
        EXPECT_THAT(result.err, HasSubstr("Input/output error"));
        EXPECT_THAT(ListFolder(output.path()), ElementsAre());
    }
}

TEST_F(NothingLostTest, PreviewNeverOverwritesItsInput) {
    WriteSeries(1, 3);
    const std::string link = output / "link.png";
    ASSERT_EQ(::link(Path(2).c_str(), link.c_str()), 0);
    for (const std::string& out : {Path(1), Path(3), link}) {
        SCOPED_TRACE(out);
        const auto before = ReadFile(out);
        const ProgramResult result = RunTool(SEGWELD_INFO_BIN, {"--preview", out, Path(1)});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_THAT(result.err, HasSubstr("is the input file"));
        EXPECT_EQ(ReadFile(out), before);
    }
}

TEST_F(NothingLostTest, ZerosStandOnlyForWhatTheImageStructureHolds) {
    struct Row {
        const char* label;
        SegmentHeader shape;
        uint64_t outputSize;
        const char* warning;
    };
    const Row rows[] = {
        {"announced beyond the image", {.announced = 4000000000}, 32, "implies only 1000"},
        {"no image structure",
         {.announced = uint64_t{1} << 31, .columns = 0},
         32,
         "no image structure"},
        {"within the image",
         {.announced = 65535 * 16, .columns = 65535, .lines = 16},
         65535 * 16,
         "zeros stand for the missing"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        test::WriteFile(Path(1), Segment(1, row.shape, DistinctData(1, 32)));
        RunOptions limited;
        limited.fileSizeLimit = 1 << 24;
        const ProgramResult result = Join(limited);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_THAT(result.err, HasSubstr(row.warning));
        struct stat info {};
        ASSERT_EQ(stat(Output().c_str(), &info), 0);
        EXPECT_EQ(uint64_t(info.st_size), row.outputSize);
        EXPECT_LT(info.st_blocks * 512, 65536) << "the zeros are holes";
    }
}

TEST_F(NothingLostTest, InterruptsRemoveTheNamedTemporary) {
    WriteSeries(1, 3);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        RunOptions interrupted;
        interrupted.environment = test::FaultShim(
            {"SEGWELD_TEST_NO_UNNAMED_FILES=1", "SEGWELD_TEST_SIGNAL_COPIES=-000002___",
             "SEGWELD_TEST_SIGNAL=" + std::to_string(signal)});
        EXPECT_EQ(Join(interrupted).signal, signal);
        EXPECT_THAT(ListFolder(output.path()), ElementsAre());
    }
}

TEST_F(NothingLostTest, ArgumentsThatTheCommandTailWouldChangeAreRefused) {
    WriteSeries(1, 2);
    const std::string out = output.path().string();
    const std::vector<std::vector<std::string>> rows = {
        {Path(1) + "\" \"" + out, out}, {Path(1), out + " "}, {"\t" + Path(1), out}};
    for (const auto& arguments : rows) {
        const ProgramResult result = RunTool(SEGWELD_BIN, arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments[0];
        EXPECT_THAT(result.err, HasSubstr(arguments[0] == Path(1) ? arguments[1] : arguments[0]));
        EXPECT_THAT(ListFolder(output.path()), ElementsAre());
    }
}

TEST_F(NothingLostTest, APlanComesOnlyFromTheMsgLayoutAndItsOwnNumber) {
    SegmentHeader met7;
    met7.annotation = "L-000-MTP___-MET7________-00_7_057E-000001___-200706151200-C_";
    SegmentHeader outside;
    outside.sequence = 20;
    for (const SegmentHeader& shape : {met7, outside}) {
        WriteShaped(2, shape);
        const ProgramResult result = Join();
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_THAT(result.err, Not(HasSubstr("planned"))) << shape.sequence;
    }
}

TEST_F(NothingLostTest, ReplacingAnOutputKeepsItsModeOwnerAndLink) {
    const auto expected = WriteSeries(1, 2);
    test::WriteFile(Output(), {'o', 'l', 'd'});
    ASSERT_EQ(chmod(Output().c_str(), 0640), 0);
    const bool mayChown = geteuid() == 0 && chown(Output().c_str(), 4321, 4321) == 0;
    ASSERT_EQ(Join().exitCode, 0);
    struct stat info {};
    ASSERT_EQ(stat(Output().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_TRUE(!mayChown || info.st_uid == 4321u);

    test::TempFolder elsewhere;
    const std::string target = elsewhere / "kept.segm";
    test::WriteFile(target, {'o', 'l', 'd'});
    std::filesystem::remove(Output());
    std::filesystem::create_symlink(target, Output());
    ASSERT_EQ(Join().exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(Output()));
    EXPECT_EQ(ReadFile(target), expected);
    EXPECT_THAT(ListFolder(elsewhere.path()), ElementsAre("kept.segm"));
}

TEST_F(NothingLostTest, WhatEndsTheWalkIsNamed) {
    WriteSeries(1, 4);
    const std::pair<std::string, const char*> rows[] = {
        {"nowhere", "symbolic link whose target does not exist"},
        {Path(3), "loop of symbolic links"}};
    for (const auto& [target, words] : rows) {
        std::filesystem::remove(Path(3));
        std::filesystem::create_symlink(target, Path(3));
        EXPECT_THAT(Join().err, HasSubstr(words));
    }
    std::filesystem::remove(Path(1));
    EXPECT_THAT(RunTool(SEGWELD_INFO_BIN, {"--preview", output / "p.png", Path(2)}).err,
                HasSubstr("no file exists for segment 1"));
}

TEST(NothingLostInfo, TooLongANameGetsTheSameWordsInEveryMode) {
    test::TempFolder folder;
    const std::string name = folder / std::string(300, 'n');
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{}, {"--series"}, {"--preview", folder / "p.png"}}) {
        std::vector<std::string> arguments = mode;
        arguments.push_back(name);
        const ProgramResult result = RunTool(SEGWELD_INFO_BIN, arguments);
        EXPECT_EQ(result.exitCode, 1) << mode.size();
        EXPECT_THAT(result.out + result.err, HasSubstr("cannot be opened: File name too long"));
    }
}

TEST_F(NothingLostTest, PreviewWithoutAWholeLineFailsAndSaysWhy) {
    const SegmentHeader huge{.columns = 65535, .lines = 65535};
    WriteShaped(1, huge);
    const ProgramResult result =
        RunTool(SEGWELD_INFO_BIN, {"--preview", output / "p.png", Path(1)});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.err, HasSubstr("smaller than their image structure"));
    EXPECT_THAT(ListFolder(output.path()), ElementsAre());
}

TEST_F(NothingLostTest, TooLongADataFieldIsTheSameInTheDumpAndTheSeries) {
    test::WriteFile(Path(1), Segment(1, {.announced = uint64_t{1} << 33, .columns = 0}, {}));
    const std::string bytes = std::to_string(uint64_t{1} << 33);
    EXPECT_THAT(RunTool(SEGWELD_INFO_BIN, {Path(1)}).out, HasSubstr(bytes + " bytes, too long"));
    EXPECT_THAT(RunTool(SEGWELD_INFO_BIN, {"--series", Path(1)}).out,
                HasSubstr("data field of " + bytes + " bytes is too long"));
}

}  // namespace
}  // namespace segweld
