#include "station/log_line.h"

#include <gtest/gtest.h>

namespace segweld::station {
namespace {

TEST(LogLine, StampedPlainAndLevelledForTheJournal) {
    // 2026-12-06T21:30:05.123Z
    const std::chrono::system_clock::time_point when{std::chrono::milliseconds(1796592605123)};
    struct Row {
        bool journal;
        LogLevel level;
        const char* text;
        const char* expected;
    };
    const Row rows[] = {
        {false, LogLevel::Info, "joined K", "2026-12-06T21:30:05.123Z segweld: joined K\n"},
        {false, LogLevel::Failure, "failed K: a\nb",
         "2026-12-06T21:30:05.123Z segweld: failed K: a\nb\n"},
        {true, LogLevel::Failure, "failed K: no space", "<3>failed K: no space\n"},
        {true, LogLevel::Warning, "  warning: segment 3 damaged",
         "<4>  warning: segment 3 damaged\n"},
        {true, LogLevel::Info, "joined K", "<6>joined K\n"},
        {true, LogLevel::Detail, "up to date K", "<7>up to date K\n"},
        {true, LogLevel::Failure, "cannot run\nsecond line", "<3>cannot run\n<3>second line\n"},
        {true, LogLevel::Info, "ends in a break\n", "<6>ends in a break\n"},
        {true, LogLevel::Info, "", "<6>\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(LogLineFormat(row.journal).Format(row.level, row.text, when), row.expected);
    }
}

}  // namespace
}  // namespace segweld::station
