#include "join/join_segments.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/product_files.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace segweld {
namespace {

using test::DistinctData;
using test::ListFolder;
using test::ReadFile;
using test::SegmentFileName;
using test::SmallSegment;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::string OutputNameFor(int number, const std::string& extension) {
    std::string name = SegmentFileName(number) + extension;
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

class JoinTest : public ::testing::Test {
  protected:
    std::string Segment(int number) const { return input / SegmentFileName(number); }

    void WriteSegment(int number, const std::vector<uint8_t>& data, int64_t announced = -1) {
        test::WriteFile(Segment(number), SmallSegment(number, data, announced));
    }

    // Segments `from` to `to` with distinct data; returns their data fields joined.
    std::vector<uint8_t> WriteSeries(int from, int to) {
        std::vector<std::vector<uint8_t>> fields;
        for (int number = from; number <= to; ++number) {
            fields.push_back(DistinctData(number));
            WriteSegment(number, fields.back());
        }
        return Concat(fields);
    }

    JoinReport Join(int given) { return JoinSegments(Segment(given), output.path().string()); }

    test::TempFolder input;
    test::TempFolder output;
};

TEST_F(JoinTest, WholeSeriesIsJoinedInOrderFromAnyOfItsFiles) {
    const auto expected = WriteSeries(1, 8);
    for (int given : {1, 5}) {
        const JoinReport report = Join(given);
        const std::string name = OutputNameFor(given, ".segm");
        ASSERT_TRUE(report.written()) << report.FailureText();
        EXPECT_EQ(report.outputPath, output / name);
        EXPECT_EQ(ReadFile(output / name), expected);
        EXPECT_EQ(report.segmentsJoined(), 8);
        EXPECT_EQ(report.bytesWritten, expected.size());
        EXPECT_EQ(report.stoppedAt, 9);
        EXPECT_TRUE(report.warnings.empty());
    }
    EXPECT_THAT(ListFolder(output.path()),
                ElementsAre(OutputNameFor(1, ".segm"), OutputNameFor(5, ".segm")))
        << "no temporary file is left behind";
}

TEST_F(JoinTest, GapEndsTheWalk) {
    const auto firstTwo = WriteSeries(1, 2);
    WriteSeries(4, 5);
    const JoinReport report = Join(1);
    EXPECT_EQ(ReadFile(report.outputPath), firstTwo);
    EXPECT_EQ(report.stoppedAt, 3);
}

TEST_F(JoinTest, NothingIsCreatedWithoutSegmentOne) {
    WriteSeries(2, 3);
    const JoinReport report = Join(2);
    EXPECT_FALSE(report.written());
    EXPECT_TRUE(report.segments.empty());
    EXPECT_THAT(ListFolder(output.path()), ElementsAre());
    EXPECT_THAT(report.FailureText(), HasSubstr(Segment(1)));
}

TEST_F(JoinTest, RefusedSegmentsAreSkippedAndTheWalkGoesOn) {
    WriteSeries(1, 4);
    test::WriteFile(Segment(1), {'n', 'o', 't', ' ', 'H', 'R', 'I', 'T'});
    test::WriteFile(Segment(3), std::vector<uint8_t>(40, 0));
    const std::vector<uint8_t> second = {'A', 'B', 'C', 'D', 'e'};
    WriteSegment(2, second);

    const JoinReport report = Join(1);
    ASSERT_TRUE(report.written());
    EXPECT_EQ(report.outputPath, output / OutputNameFor(1, ".abcd"))
        << "the first accepted segment names the output";
    EXPECT_EQ(ReadFile(report.outputPath), Concat({second, DistinctData(4)}));
    ASSERT_EQ(report.warnings.size(), 3u);
    EXPECT_THAT(report.warnings[0], HasSubstr(Segment(1)));
    EXPECT_THAT(report.warnings[1], HasSubstr("header refused"));
    EXPECT_EQ(report.warnings[2],
              "only 2 of the 8 planned segments (1 to 8) were joined; not joined: 1, 3, 5-8");
}

TEST_F(JoinTest, ExtensionFallsBackToXyz) {
    const std::vector<std::vector<uint8_t>> firstFields = {
        {0xFF, 0x01, 0x00, 0x10, 0x20}, {0xFF, 0xD8, 0xFF, 0xE0}, {'A', 0, 'B', 'C'}, {'A', 'B'}};
    for (const auto& first : firstFields) {
        WriteSegment(1, first);
        const JoinReport report = Join(1);
        EXPECT_EQ(report.outputPath, output / OutputNameFor(1, ".xyz"));
        EXPECT_EQ(ReadFile(report.outputPath), first);
    }
}

TEST_F(JoinTest, OnlyTheAnnouncedDataFieldIsCopied) {
    auto longer = SmallSegment(1, DistinctData(1, 100));
    longer.insert(longer.end(), {'t', 'r', 'a', 'i', 'l'});
    test::WriteFile(Segment(1), longer);
    WriteSegment(2, {});
    WriteSegment(3, DistinctData(3, 50));
    const JoinReport report = Join(1);
    EXPECT_EQ(ReadFile(report.outputPath), Concat({DistinctData(1, 100), DistinctData(3, 50)}));
    EXPECT_EQ(report.segmentsJoined(), 3) << "an empty data field is joined as nothing";
}

TEST_F(JoinTest, ShortDataFieldIsFilledWithZerosAndReported) {
    const auto whole = WriteSeries(1, 8);
    const auto partial = DistinctData(2, 600);
    WriteSegment(2, partial, 1000);
    const JoinReport report = Join(1);
    std::vector<uint8_t> filled = partial;
    filled.resize(1000, 0);
    std::vector<uint8_t> expected = whole;
    std::copy(filled.begin(), filled.end(), expected.begin() + 1000);
    EXPECT_EQ(ReadFile(report.outputPath), expected);
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_THAT(report.warnings[0], HasSubstr(Segment(2)));
    EXPECT_THAT(report.warnings[0], HasSubstr("600 of its 1000"));
    EXPECT_EQ(report.segments[1].bytesPresent, 600u);
}

TEST_F(JoinTest, DataFieldBeyondThirtyTwoBitsIsRefused) {
    WriteSeries(1, 3);
    test::WriteFile(Segment(2), SmallSegment(2, DistinctData(2), int64_t{1} << 32));
    const JoinReport report = Join(1);
    EXPECT_EQ(ReadFile(report.outputPath), Concat({DistinctData(1), DistinctData(3)}));
    EXPECT_EQ(report.segments[1].status, SegmentStatus::DataFieldTooLong);
    ASSERT_EQ(report.warnings.size(), 2u);
    EXPECT_THAT(report.warnings[0], HasSubstr("too long"));
    EXPECT_THAT(report.warnings[1], HasSubstr("not joined: 2, 4-8"));
}

TEST_F(JoinTest, FoldersAndFifosOfASegmentsNameAreSkippedWithoutBlocking) {
    WriteSeries(1, 3);
    if (test::FifosExist()) {
        std::filesystem::remove(Segment(2));
        ASSERT_TRUE(test::MakeFifo(Segment(2)));
        const JoinReport fifo = Join(1);
        EXPECT_EQ(ReadFile(fifo.outputPath), Concat({DistinctData(1), DistinctData(3)}));
        EXPECT_EQ(fifo.segments[1].status, SegmentStatus::NotRegularFile);
    }

    std::filesystem::remove(Segment(2));
    std::filesystem::create_directory(Segment(2));
    const JoinReport folder = Join(1);
    EXPECT_EQ(folder.segments[1].status, SegmentStatus::NotRegularFile);
    EXPECT_EQ(folder.segmentsJoined(), 2);
}

TEST_F(JoinTest, ExistingOutputIsReplacedOnlyByASuccessfulJoin) {
    const std::string target = output / OutputNameFor(1, ".segm");
    test::WriteFile(target, {'o', 'l', 'd'});
    test::WriteFile(Segment(1), {'j', 'u', 'n', 'k'});
    EXPECT_FALSE(Join(1).written());
    EXPECT_EQ(ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));

    const auto expected = WriteSeries(1, 2);
    EXPECT_TRUE(Join(1).written());
    EXPECT_EQ(ReadFile(target), expected);
}

TEST_F(JoinTest, OutputNameTakenByAFolderFailsAndLeavesNothing) {
    WriteSeries(1, 2);
    std::filesystem::create_directory(output / OutputNameFor(1, ".segm"));
    const JoinReport report = Join(1);
    EXPECT_FALSE(report.written());
    EXPECT_THAT(report.error, HasSubstr(OutputNameFor(1, ".segm")));
    EXPECT_THAT(ListFolder(output.path()), ElementsAre(OutputNameFor(1, ".segm")));
}

}  // namespace
}  // namespace segweld
