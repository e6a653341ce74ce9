#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "join/output_name.h"
#include "join/segment_name.h"

namespace segweld {
namespace {

const std::string kName = "H-000-MSG1__-MSG1________-IR_108___-000001___-200706151200-C_";

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(SegmentName, NumberReplacesColumns36To41) {
    EXPECT_EQ(SegmentName(kName, 8),
              "H-000-MSG1__-MSG1________-IR_108___-000008___-200706151200-C_");
    EXPECT_EQ(SegmentName(kName, 1000000),
              "H-000-MSG1__-MSG1________-IR_108___-1000000___-200706151200-C_")
        << "seven digits make the name one character longer";
    EXPECT_EQ(SegmentName("0123456789", 2), "0123456789000002") << "short names get the number";
    const std::string forty = std::string(36, 'a') + "XXXX";
    EXPECT_EQ(SegmentName(forty, 12), std::string(36, 'a') + "000012");
    const std::string fortyThree = std::string(36, 'a') + "XXXXXXyz";
    EXPECT_EQ(SegmentName(fortyThree, 3), std::string(36, 'a') + "000003yz");
}

TEST(SegmentPath, SplitsAtTheLastSeparator) {
    const SegmentPath nested = SplitSegmentPath("/data/in/" + kName);
    EXPECT_EQ(nested.directory, "/data/in/");
    EXPECT_EQ(nested.name, kName);
    const SegmentPath bare = SplitSegmentPath(kName);
    EXPECT_EQ(bare.directory, "");
    EXPECT_EQ(bare.name, kName);
    const SegmentPath root = SplitSegmentPath("/x");
    EXPECT_EQ(root.directory, "/");
    EXPECT_EQ(root.name, "x");
}

TEST(OutputName, ExtensionFromFourLettersAndDigits) {
    EXPECT_EQ(JoinedOutputName(kName, Bytes("AbC9xyz")),
              "h-000-msg1__-msg1________-ir_108___-000001___-200706151200-c_.abc9");
    const std::vector<std::vector<uint8_t>> unfit = {
        {0xFF, 0x01, 0x00, 0x10}, {0xFF, 0xD8, 'A', 'B'}, {'A', 0, 'B', 'C'},
        {'A', 'B', 'C', 0xE9},    {'A', 'B', 'C'},        {},
        {'A', '.', 'B', 'C'},
    };
    for (const auto& first : unfit) {
        EXPECT_EQ(JoinedOutputName("Name", first), "name.xyz") << first.size();
    }
}

TEST(OutputName, LowerCasingTouchesAsciiLettersOnly) {
    EXPECT_EQ(LowerAscii("AZaz09-_"), "azaz09-_");
    EXPECT_EQ(LowerAscii("\xC3\x89T\xC3\x89"), "\xC3\x89t\xC3\x89") << "UTF-8 É stays whole";
}

TEST(OutputName, AlnumTests) {
    EXPECT_TRUE(HasAlnumTail(""));
    EXPECT_TRUE(HasAlnumTail("-"));
    EXPECT_TRUE(HasAlnumTail(".aZ0"));
    EXPECT_FALSE(HasAlnumTail(".a b"));
    EXPECT_TRUE(IsAlnumChar('q'));
    EXPECT_FALSE(IsAlnumChar('@'));
    EXPECT_FALSE(IsAlnumChar(static_cast<signed char>(0xB2)));
}

TEST(OutputName, ExactlyOneSeparatorBeforeTheName) {
    const std::string sep(1, kFolderSeparator);
    const struct {
        std::string folder;
        std::string path;
    } rows[] = {
        {"/out", "/out" + sep + "f.xyz"},  // the platform's separator is added
        {"/out/", "/out/f.xyz"},
        {"/", "/f.xyz"},
        {"out" + sep, "out" + sep + "f.xyz"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.folder);
        EXPECT_EQ(JoinedOutputPath(row.folder, "f.xyz"), row.path);
    }
}

}  // namespace
}  // namespace segweld
