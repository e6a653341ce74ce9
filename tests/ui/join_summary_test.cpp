#include "ui/join_summary.h"

#include <gtest/gtest.h>

namespace segweld {
namespace {

TEST(JoinSummaryTest, GroupsDigitsByThousands) {
    EXPECT_EQ(GroupThousands(0), "0");
    EXPECT_EQ(GroupThousands(999), "999");
    EXPECT_EQ(GroupThousands(1000), "1,000");
    EXPECT_EQ(GroupThousands(17223680), "17,223,680");
    EXPECT_EQ(GroupThousands(18446744073709551615u), "18,446,744,073,709,551,615");
}

TEST(JoinSummaryTest, CountsInSingularAndPluralAndNamesTheFirstWarning) {
    JoinReport report;
    report.segments.resize(1);
    report.segments[0].status = SegmentStatus::Accepted;
    report.outputPath = "/out/a.xyz";
    report.bytesWritten = 1;
    EXPECT_EQ(JoinSummaryLines(report),
              std::vector<std::string>{"Joined 1 segment, 1 byte, into /out/a.xyz"});

    report.segments.resize(3);
    report.warnings = {"segment 2 skipped: no header"};
    EXPECT_EQ(JoinSummaryLines(report).at(1), "1 warning: segment 2 skipped: no header");
    report.warnings.push_back("segment 3 skipped: no header");
    EXPECT_EQ(JoinSummaryLines(report),
              (std::vector<std::string>{"Joined 1 segment, 1 byte, into /out/a.xyz",
                                        "2 warnings, the first: segment 2 skipped: no header"}));
    EXPECT_EQ(JoinSummaryDetails(report),
              "Joined 1 segment, 1 byte, into /out/a.xyz\n"
              "Warning: segment 2 skipped: no header\n"
              "Warning: segment 3 skipped: no header");
}

}  // namespace
}  // namespace segweld
