#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "app/segweld_app.h"

namespace segweld {
namespace {

std::pair<std::string, std::string> FirstTwo(const std::string& tail) {
    CSegweldApp app;
    int cursor = 0;
    std::string first = app.SplitCommandArgument(tail, cursor);
    std::string second = app.SplitCommandArgument(tail, cursor);
    return {first, second};
}

TEST(SplitCommandArgument, RawTails) {
    struct Case {
        std::string tail;
        std::string first;
        std::string second;
    };
    const Case cases[] = {
        {"", "", ""},
        {"\"\" /data/x", "", "/data/x"},
        {"/data/seg", "/data/seg", ""},
        {"/data/seg  /out", "/data/seg", ""},
        {"/data/seg\t/out", "/data/seg\t/out", ""},
        {"a b c", "a", "b"},
        {"\"C:\\seg dir\\first file\" \"D:\\out dir\"", "C:\\seg dir\\first file", "D:\\out dir"},
        {"C:\\x\"y z\"\\f out", "C:\\x y z \\f", "out"},
        {"\"/never closed /out", "/never closed /out", ""},
        {" lead", "lead", ""},  // a blank at index 0 separates nothing
    };
    for (const Case& c : cases) {
        const auto [first, second] = FirstTwo(c.tail);
        EXPECT_EQ(first, c.first) << "tail: " << c.tail;
        EXPECT_EQ(second, c.second) << "tail: " << c.tail;
    }
}

TEST(CommandTail, ArgumentsFromArgvSurviveTheSplit) {
    const char* argv[] = {"segweld", "/data/seg dir/first file", "/out dir", "ignored"};
    const std::string tail = FormCommandTail(4, const_cast<char**>(argv));
    EXPECT_EQ(tail, "\"/data/seg dir/first file\" \"/out dir\" \"ignored\"");
    const auto [first, second] = FirstTwo(tail);
    EXPECT_EQ(first, "/data/seg dir/first file");
    EXPECT_EQ(second, "/out dir");

    const char* empty[] = {"segweld", "", "/out"};
    EXPECT_EQ(FirstTwo(FormCommandTail(3, const_cast<char**>(empty))).first, "")
        << "an empty first argument takes the dialog mode";
}

}  // namespace
}  // namespace segweld
