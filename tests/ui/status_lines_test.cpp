#include "ui/status_lines.h"

#include <gtest/gtest.h>

namespace segweld {
namespace {

std::vector<std::string> Utf8(const std::vector<wxString>& lines) {
    std::vector<std::string> bytes;
    for (const wxString& line : lines) {
        bytes.push_back(line.utf8_string());
    }
    return bytes;
}

// Widths counted in characters, so that each row can be checked by hand.
TEST(StatusLinesTest, CutsTheMiddleOfFoldersFirstThenBreaksBetweenWords) {
    const wxString file = "into /data/archive/day1/h.xyz";
    struct Case {
        const char* label;
        std::vector<wxString> lines;
        std::vector<wxString> folders;
        int width;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"fits", {file}, {"/data/archive/day1"}, 29, {"into /data/archive/day1/h.xyz"}},
        {"keeps as much of the folder as fits",
         {"short", file},
         {"/data/archive/day1"},
         20,
         {"short", "into /\u2026ve/day1/h.xyz"}},
        {"the longest folder wins over one inside it",
         {file},
         {"/data", "/data/archive/day1"},
         20,
         {"into /\u2026ve/day1/h.xyz"}},
        {"every folder gives up the same",
         {"from /in/long-folder/a to /out/long-folder/b"},
         {"/in/long-folder", "/out/long-folder"},
         30,
         {"from /\u2026folder/a to /\u2026folder/b"}},
        {"still too wide with the folder cut",
         {file},
         {"/data/archive/day1"},
         12,
         {"into", "/\u2026/h.xyz"}},
        {"the root folder is never cut",
         {"into /h.xyz and more"},
         {"/"},
         10,
         {"into", "/h.xyz and", "more"}},
    };
    const auto characters = [](const wxString& text) { return static_cast<int>(text.length()); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Utf8(FitStatusLines(c.lines, c.folders, c.width, characters)), c.expected);
    }
}

}  // namespace
}  // namespace segweld
