#include "ui/join_summary.h"

#include <gtest/gtest.h>

#include "ui/progress_text.h"
#include "ui/status_lines.h"

namespace segweld {
namespace {

TEST(JoinSummaryTest, CountsInSingularAndPluralGroupedByThousandsAndGivesTheFirstWarning) {
    EXPECT_EQ(GroupThousands(999) + " " + GroupThousands(1000), "999 1,000");
    EXPECT_EQ(GroupThousands(18446744073709551615u), "18,446,744,073,709,551,615");
    JoinReport report;
    report.segments.resize(1);
    report.segments[0].status = SegmentStatus::Accepted;
    report.outputPath = "/out/a.xyz";
    report.bytesWritten = 1;
    const std::string joined = "Joined 1 segment, 1 byte, into /out/a.xyz";
    EXPECT_EQ(JoinSummaryLines(report), std::vector<std::string>{joined});
    report.warnings = {"segment 2 skipped"};
    EXPECT_EQ(JoinSummaryLines(report).at(1), "1 warning: segment 2 skipped");
    report.warnings.push_back("segment 3 skipped");
    EXPECT_EQ(JoinSummaryLines(report).at(1), "2 warnings, the first: segment 2 skipped");
    EXPECT_EQ(JoinSummaryDetails(report),
              joined + "\nWarning: segment 2 skipped\nWarning: segment 3 skipped");
}

// Widths counted in characters, so that each row can be checked by hand.
TEST(StatusLinesTest, CutsTheMiddleOfFoldersFirstThenBreaksBetweenWords) {
    const wxString line = "to /data/archive/day1/h.xyz";  // 27 characters
    const std::vector<wxString> day1 = {"/data/archive/day1"};
    struct Case {
        const char* label;
        std::vector<wxString> lines, folders;
        int width;
        std::vector<wxString> expected;
    };
    // Labels: fits; a cut folder; the longest folder, not one inside it; every folder cut
    // alike (all); broken between words when still too wide; never the root folder.
    const Case cases[] = {
        {"fits", {line}, day1, 27, {L"to /data/archive/day1/h.xyz"}},
        {"cut", {"ok", line}, day1, 18, {L"ok", L"to /\u2026ve/day1/h.xyz"}},
        {"longest", {line}, {"/data", "/data/archive/day1"}, 18, {L"to /\u2026ve/day1/h.xyz"}},
        {"all", {"/a/long/x /b/long/y"}, {"/a/long", "/b/long"}, 14, {L"/\u2026ng/x /\u2026ng/y"}},
        {"broken", {line}, day1, 9, {L"to", L"/\u2026/h.xyz"}},
        {"root", {"to /h.xyz and more"}, {"/"}, 10, {L"to /h.xyz", L"and more"}},
    };
    const auto characters = [](const wxString& text) { return static_cast<int>(text.length()); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(FitStatusLines(c.lines, c.folders, c.width, characters), c.expected);
    }
}

TEST(ProgressTextTest, PercentFromThePlanRateAndTimeLeftOnceASecondHasGone) {
    // Segment, planned segments, bytes written; seconds; the line and the title.
    // clang-format off
    const std::tuple<JoinProgress, double, std::string> rows[] = {
        {{1, 8, 0}, 0.9, "Joining segment 1 of 8 (0%): 0 bytes written | 0% - Segweld"},
        {{3, 8, 2097152}, 2, "Joining segment 3 of 8 (25%): 2,097,152 bytes written, 1.0 MB/s, "
                             "about 6 s left | 25%, about 6 s left - Segweld"},
        {{2, 0, 500000}, 1, "Joining segment 2: 500,000 bytes written, 500 kB/s | Joining - Segweld"},
        {{11, 100, 3000000000}, 1.5, "Joining segment 11 of 100 (10%): 3,000,000,000 bytes written, "
                                     "2.00 GB/s, about 14 s left | 10%, about 14 s left - Segweld"},
        {{2, 200, 1000}, 60, "Joining segment 2 of 200 (0%): 1,000 bytes written, 17 B/s, "
                             "about 3 h 19 min left | 0%, about 3 h 19 min left - Segweld"},
        {{9, 8, 0}, 0, "Joining segment 9 of 8 (100%): 0 bytes written | 100% - Segweld"},
    };
    // clang-format on
    for (const auto& [progress, seconds, expected] : rows) {
        const ProgressText text = DescribeProgress(progress, seconds);
        EXPECT_EQ(text.line + " | " + text.title, expected);
    }
}

}  // namespace
}  // namespace segweld
