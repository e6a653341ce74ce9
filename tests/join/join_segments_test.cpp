#include "join/join_segments.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/bytes.h"
#include "tests/support/product_files.h"

namespace segweld {
namespace {

using test::Bytes;
using test::Concat;
using test::DistinctData;
using test::ListFolder;
using test::ReadFile;
using test::SmallSegment;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class JoinTest : public ::testing::Test, protected test::ProductFolders {
  protected:
    JoinReport Join(int given, const JoinOptions& options = {}) {
        return JoinSegments(Path(given), output.path().string(), options);
    }
};

TEST_F(JoinTest, WholeSeriesIsJoinedInOrderFromAnyOfItsFiles) {
    const auto expected = WriteSeries(1, 8);
    for (int given : {1, 5}) {
        const JoinReport report = Join(given);
        ASSERT_TRUE(report.written()) << report.FailureText();
        EXPECT_EQ(report.outputPath, OutputPath(given, ".segm"));
        EXPECT_EQ(ReadFile(report.outputPath), expected);
        EXPECT_EQ(report.segmentsJoined(), 8);
        EXPECT_EQ(report.bytesWritten, expected.size());
        EXPECT_EQ(report.stoppedAt, 9);
        EXPECT_TRUE(report.warnings.empty());
    }
    EXPECT_THAT(ListFolder(output.path()),
                ElementsAre(OutputName(1, ".segm"), OutputName(5, ".segm")))
        << "no temporary file is left behind";
}

// Segment 2 of three is skipped with a warning; the walk goes on to segment 3.
TEST_F(JoinTest, SegmentsThatCannotBeJoinedAreSkipped) {
    struct Row {
        const char* label;
        Bytes content;  // none: a folder
        SegmentStatus status;
        const char* warning;
    };
    const Row rows[] = {
        {"not HRIT", {'n', 'o', 't', ' ', 'H'}, SegmentStatus::HeaderRefused, "header refused"},
        {"zeros", Bytes(40, 0), SegmentStatus::HeaderRefused, "header refused"},
        {"data field beyond 32 bits", SmallSegment(2, DistinctData(2), int64_t{1} << 32),
         SegmentStatus::DataFieldTooLong, "too long"},
        {"folder", {}, SegmentStatus::NotRegularFile, "not a regular file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        WriteSeries(1, 1), WriteSeries(3, 3);
        if (row.content.empty()) {
            std::filesystem::create_directory(os::PathOf(Path(2)));
        } else {
            test::WriteFile(Path(2), row.content);
        }
        const JoinReport report = Join(1);
        EXPECT_EQ(ReadFile(report.outputPath), Concat({DistinctData(1), DistinctData(3)}));
        EXPECT_EQ(report.segments[1].status, row.status);
        ASSERT_FALSE(report.warnings.empty());
        EXPECT_THAT(report.warnings[0], HasSubstr(Path(2)));
        EXPECT_THAT(report.warnings[0], HasSubstr(row.warning));
        std::filesystem::remove_all(os::PathOf(Path(2)));
        std::filesystem::remove(os::PathOf(report.outputPath));
    }
}

TEST_F(JoinTest, FirstAcceptedSegmentNamesTheOutputAndOnlyAnnouncedDataIsCopied) {
    test::WriteFile(Path(1), {'n', 'o', 't', ' ', 'H', 'R', 'I', 'T'});
    WriteSegment(2, {'A', 'B', 'C', 'D', 'e'});
    test::WriteFile(Path(3), Concat({SmallSegment(3, DistinctData(3, 100)), {'t', 'a', 'i', 'l'}}));
    WriteSegment(4, {});
    const JoinReport report = Join(1);
    ASSERT_TRUE(report.written());
    EXPECT_EQ(report.outputPath, output / OutputName(1, ".abcd"));
    EXPECT_EQ(ReadFile(report.outputPath),
              Concat({{'A', 'B', 'C', 'D', 'e'}, DistinctData(3, 100)}));
    EXPECT_EQ(report.segmentsJoined(), 3) << "an empty data field is joined as nothing";
}

TEST_F(JoinTest, FilledSegmentsAreReportedOnlyWhenAsked) {
    WriteSeries(1, 2);
    WriteSeries(5, 6);
    EXPECT_THAT(Join(1, {.fillGaps = true, .progress = {}}).filled, ElementsAre(3, 4, 7, 8));
    EXPECT_THAT(Join(1).filled, ElementsAre());
}

}  // namespace
}  // namespace segweld
