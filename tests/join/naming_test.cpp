#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "join/dissemination_name.h"
#include "join/output_name.h"
#include "join/segment_name.h"
#include "join/segment_pick.h"
#include "tests/support/header_builder.h"

namespace segweld {
namespace {

const std::string kName = "H-000-MSG1__-MSG1________-IR_108___-000001___-200706151200-C_";
const std::string kA36(36, 'a');

TEST(SegmentName, NumberReplacesColumns36To41) {
    const std::tuple<const char*, std::string, int, std::string> rows[] = {
        {"eight", kName, 8, "H-000-MSG1__-MSG1________-IR_108___-000008___-200706151200-C_"},
        {"seven digits make the name one longer", kName, 1000000,
         "H-000-MSG1__-MSG1________-IR_108___-1000000___-200706151200-C_"},
        {"short names get the number", "0123456789", 2, "0123456789000002"},
        {"forty characters", kA36 + "XXXX", 12, kA36 + "000012"},
        {"forty-three characters", kA36 + "XXXXXXyz", 3, kA36 + "000003yz"},
    };
    for (const auto& [label, name, number, expected] : rows) {
        SCOPED_TRACE(label);
        EXPECT_EQ(SegmentName(name, number), expected);
    }
}

TEST(DisseminationName, OnlyExactNamesOfTheConventionParse) {
    using Kind = DisseminationName::Kind;
    // The kind, the segment number and the masked key; nullopt kind: no such name.
    const std::tuple<const char*, std::string, std::optional<Kind>, int32_t, std::string> rows[] = {
        {"segment", kName, Kind::Segment, 1,
         "H-000-MSG1__-MSG1________-IR_108___-??????___-200706151200-C_"},
        {"prologue", "H-000-MSG1__-MSG1________-_________-PRO______-200706151200-__",
         Kind::Prologue, -1, "H-000-MSG1__-MSG1________-_________-PRO______-200706151200-__"},
        {"foreign epilogue keeps its channel",
         "L-000-MSG2__-GOES11______-00_7_135W-EPI______-200810161200-__", Kind::Epilogue, -1,
         "L-000-MSG2__-GOES11______-00_7_135W-EPI______-200810161200-__"},
        {"letters in the number", "H-000-MSG1__-MSG1________-IR_108___-00a007___-200706151200-C_",
         Kind::Other, -1, "H-000-MSG1__-MSG1________-IR_108___-00a007___-200706151200-C_"},
        {"a writer's temporary", kName + ".tmp", std::nullopt, -1, kName + ".tmp"},
        {"a partial download", kName + ".part", std::nullopt, -1, kName + ".part"},
        {"a compressed file's partial download", kName + ".xz.part", std::nullopt, -1,
         kName + ".xz.part"},
        {"a hidden temporary", "." + kName + ".Xa9b", std::nullopt, -1, "." + kName + ".Xa9b"},
        {"a joined output", "h-000-msg1__-msg1________-ir_108___-000007___-200706151200-c_.segm",
         std::nullopt, -1, "h-000-msg1__-msg1________-ir_108___-000007___-200706151200-c_.segm"},
        {"a separator moved", "H-000-MSG1__-MSG1________-IR_108__-_000001___-200706151200-C_",
         std::nullopt, -1, "H-000-MSG1__-MSG1________-IR_108__-_000001___-200706151200-C_"},
        {"a blank inside a field", "H-000-MSG1__-MSG1 _______-IR_108___-000001___-200706151200-C_",
         std::nullopt, -1, "H-000-MSG1__-MSG1 _______-IR_108___-000001___-200706151200-C_"},
    };
    for (const auto& [label, name, kind, number, masked] : rows) {
        SCOPED_TRACE(label);
        const auto parsed = DisseminationName::Parse(name);
        ASSERT_EQ(parsed.has_value(), kind.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->kind(), *kind);
        }
        EXPECT_EQ(SegmentNumberInName(name), number);
        EXPECT_EQ(MaskedName(name), masked);
    }
    const auto parsed = DisseminationName::Parse(kName);
    EXPECT_EQ(parsed->With(DisseminationName::Field::Segment, "PRO"),
              "H-000-MSG1__-MSG1________-IR_108___-PRO______-200706151200-C_");
    EXPECT_EQ(parsed->field(DisseminationName::Field::Time), "200706151200");
}

TEST(OutputName, ExtensionFromFourLettersAndDigits) {
    EXPECT_EQ(OutputName(kName, OutputKind::Joined, std::vector<uint8_t>{'A', 'b', 'C', '9', 'x'}),
              "h-000-msg1__-msg1________-ir_108___-000001___-200706151200-c_.abc9");
    EXPECT_EQ(OutputName("\xC3\x89T\xC3\x89", OutputKind::Joined, std::vector<uint8_t>{}),
              "\xC3\x89t\xC3\x89.xyz")
        << "lower-casing touches ASCII letters only: UTF-8 É stays whole";
    const std::vector<std::vector<uint8_t>> unfit = {
        {0xFF, 0x01, 0x00, 0x10}, {0xFF, 0xD8, 'A', 'B'}, {'A', 0, 'B', 'C'},
        {'A', 'B', 'C', 0xE9},    {'A', 'B', 'C'},        {},
        {'A', '.', 'B', 'C'},
    };
    for (const auto& first : unfit) {
        EXPECT_EQ(OutputName("Name", OutputKind::Joined, first), "name.xyz") << first.size();
    }
    for (const char* text : {"", "-", ".aZ0"}) {
        EXPECT_TRUE(HasAlnumTail(text)) << text;
    }
}

// A segment path splits after its last separator; an output path gets exactly
// one separator between its folder and its name.
TEST(Paths, SplitAtTheLastSeparatorAndJoinWithExactlyOne) {
    const std::string sep(1, kFolderSeparator);  // the platform's separator, added where missing
    const std::tuple<std::string, std::string, std::string, std::string> rows[] = {
        // folder, name, the path joined from them, its directory when split
        {"/out", "f.xyz", "/out" + sep + "f.xyz", "/out" + sep},
        {"/data/in/", kName, "/data/in/" + kName, "/data/in/"},
        {"/", "x", "/x", "/"},
        {"out" + sep, "f.xyz", "out" + sep + "f.xyz", "out" + sep},
        {"", kName, kName, ""},
    };
    for (const auto& [folder, name, path, directory] : rows) {
        SCOPED_TRACE(path);
        EXPECT_EQ(JoinedOutputPath(folder, name), path);
        EXPECT_EQ(SplitSegmentPath(path).directory, directory);
        EXPECT_EQ(SplitSegmentPath(path).name, name);
    }
}

TEST(SegmentPickTest, TellsAPrologueAnEpilogueAndANameThatIsNoSegmentNameFromASegmentFile) {
    const std::string segment = test::kWorkedExample;
    const auto withField = [&](const std::string& field) {
        return segment.substr(0, 36) + field + segment.substr(45);
    };
    const std::pair<std::string, std::string> rows[] = {
        {segment, ""},
        {withField("PRO______"), " is the prologue of its product, not a segment file."},
        {withField("EPI______"), " is the epilogue of its product, not a segment file."},
        {withField("ABCDEF___"), " is not a segment file: its name holds \"ABCDEF___\""},
        {"a.png", " is not a segment file: its name does not follow the dissemination naming"},
        {segment + ".bz2", ""},
        {withField("PRO______") + ".gz", " is the prologue of its product, not a segment file."},
        {segment + ".zip", " is not a segment file: its name does not follow"},
        {segment.substr(0, 27) + "R 108" + segment.substr(32),
         " is not a segment file: its name does not"},
    };
    for (const auto& [name, why] : rows) {
        const std::string path = "/data/day 1/" + name;
        const std::string said = WhyNotASegmentFile(path);
        EXPECT_EQ(said.empty() ? "" : said.substr(0, 16 + path.size() + why.size()),
                  why.empty() ? "" : "Nothing joined: " + path + why);
    }
}

}  // namespace
}  // namespace segweld
