#include "os/event_log_lines.h"

#include <gtest/gtest.h>

#include <vector>

namespace segweld::os {
namespace {

// Lines in pieces of any size come out whole, at the level of their journal
// prefix; a last line without its break comes out at the end.
TEST(EventLogLines, OneEventPerLineAtTheJournalsLevel) {
    struct Row {
        std::vector<std::string> pieces;
        std::vector<std::pair<EventLevel, std::string>> events;
    };
    const Row rows[] = {
        {{"<3>failed K: no space\n"}, {{EventLevel::Error, "failed K: no space"}}},
        {{"<4>  warn", "ing: seg", "ment 3\r\n<6>joined K\n"},
         {{EventLevel::Warning, "  warning: segment 3"}, {EventLevel::Information, "joined K"}}},
        {{"<7>up to date K\n<0>emergency\n"},
         {{EventLevel::Information, "up to date K"}, {EventLevel::Error, "emergency"}}},
        {{"a --then command's own line\n\n"},
         {{EventLevel::Information, "a --then command's own line"}}},
        {{"<9>not a level\n<4"},
         {{EventLevel::Information, "<9>not a level"}, {EventLevel::Information, "<4"}}},
    };
    for (const Row& row : rows) {
        std::vector<std::pair<EventLevel, std::string>> events;
        {
            EventLogLines lines([&](EventLevel level, const std::string& text) {
                events.emplace_back(level, text);
            });
            for (const std::string& piece : row.pieces) {
                lines.Write(piece);
            }
        }
        EXPECT_EQ(events, row.events) << row.pieces.front();
    }
}

}  // namespace
}  // namespace segweld::os
