#include "join/join_segments.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/product_files.h"

namespace segweld {
namespace {

using test::DistinctData;
using test::ListFolder;
using test::ReadFile;
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

class JoinTest : public ::testing::Test, protected test::ProductFolders {
  protected:
    JoinReport Join(int given) { return JoinSegments(Path(given), output.path().string()); }
};

TEST_F(JoinTest, WholeSeriesIsJoinedInOrderFromAnyOfItsFiles) {
    const auto expected = WriteSeries(1, 8);
    for (int given : {1, 5}) {
        const JoinReport report = Join(given);
        const std::string name = OutputName(given, ".segm");
        ASSERT_TRUE(report.written()) << report.FailureText();
        EXPECT_EQ(report.outputPath, output / name);
        EXPECT_EQ(ReadFile(output / name), expected);
        EXPECT_EQ(report.segmentsJoined(), 8);
        EXPECT_EQ(report.bytesWritten, expected.size());
        EXPECT_EQ(report.stoppedAt, 9);
        EXPECT_TRUE(report.warnings.empty());
    }
    EXPECT_THAT(ListFolder(output.path()),
                ElementsAre(OutputName(1, ".segm"), OutputName(5, ".segm")))
        << "no temporary file is left behind";
}

TEST_F(JoinTest, RefusedSegmentsAreSkippedAndTheWalkGoesOn) {
    WriteSeries(1, 4);
    test::WriteFile(Path(1), {'n', 'o', 't', ' ', 'H', 'R', 'I', 'T'});
    test::WriteFile(Path(3), std::vector<uint8_t>(40, 0));
    const std::vector<uint8_t> second = {'A', 'B', 'C', 'D', 'e'};
    WriteSegment(2, second);

    const JoinReport report = Join(1);
    ASSERT_TRUE(report.written());
    EXPECT_EQ(report.outputPath, output / OutputName(1, ".abcd"))
        << "the first accepted segment names the output";
    EXPECT_EQ(ReadFile(report.outputPath), Concat({second, DistinctData(4)}));
    ASSERT_EQ(report.warnings.size(), 3u);
    EXPECT_THAT(report.warnings[0], HasSubstr(Path(1)));
}

TEST_F(JoinTest, OnlyTheAnnouncedDataFieldIsCopied) {
    auto longer = SmallSegment(1, DistinctData(1, 100));
    longer.insert(longer.end(), {'t', 'r', 'a', 'i', 'l'});
    test::WriteFile(Path(1), longer);
    WriteSegment(2, {});
    WriteSegment(3, DistinctData(3, 50));
    const JoinReport report = Join(1);
    EXPECT_EQ(ReadFile(report.outputPath), Concat({DistinctData(1, 100), DistinctData(3, 50)}));
    EXPECT_EQ(report.segmentsJoined(), 3) << "an empty data field is joined as nothing";
}

TEST_F(JoinTest, DataFieldBeyondThirtyTwoBitsIsRefused) {
    WriteSeries(1, 3);
    test::WriteFile(Path(2), SmallSegment(2, DistinctData(2), int64_t{1} << 32));
    const JoinReport report = Join(1);
    EXPECT_EQ(ReadFile(report.outputPath), Concat({DistinctData(1), DistinctData(3)}));
    EXPECT_EQ(report.segments[1].status, SegmentStatus::DataFieldTooLong);
    EXPECT_THAT(report.warnings[0], HasSubstr("too long"));
}

TEST_F(JoinTest, AFolderOfASegmentsNameIsSkipped) {
    WriteSeries(1, 3);
    std::filesystem::remove(Path(2));
    std::filesystem::create_directory(Path(2));
    const JoinReport report = Join(1);
    EXPECT_EQ(ReadFile(report.outputPath), Concat({DistinctData(1), DistinctData(3)}));
    EXPECT_EQ(report.segments[1].status, SegmentStatus::NotRegularFile);
}

TEST_F(JoinTest, FilledSegmentsAreReportedOnlyWhenAsked) {
    WriteSeries(1, 2);
    WriteSeries(5, 6);
    JoinOptions fill;
    fill.fillGaps = true;
    EXPECT_THAT(JoinSegments(Path(1), output.path().string(), fill).filled,
                ElementsAre(3, 4, 7, 8));
    EXPECT_THAT(Join(1).filled, ElementsAre());
}

TEST_F(JoinTest, ExistingOutputIsReplacedOnlyByASuccessfulJoin) {
    const std::string target = output / OutputName(1, ".segm");
    test::WriteFile(target, {'o', 'l', 'd'});
    test::WriteFile(Path(1), {'j', 'u', 'n', 'k'});
    EXPECT_FALSE(Join(1).written());
    EXPECT_EQ(ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));

    const auto expected = WriteSeries(1, 2);
    EXPECT_TRUE(Join(1).written());
    EXPECT_EQ(ReadFile(target), expected);
}

TEST_F(JoinTest, OutputNameTakenByAFolderFailsAndLeavesNothing) {
    WriteSeries(1, 2);
    std::filesystem::create_directory(output / OutputName(1, ".segm"));
    const JoinReport report = Join(1);
    EXPECT_FALSE(report.written());
    EXPECT_THAT(report.error, HasSubstr(OutputName(1, ".segm")));
    EXPECT_THAT(ListFolder(output.path()), ElementsAre(OutputName(1, ".segm")));
}

}  // namespace
}  // namespace segweld
