#include "hrit/annotation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "hrit/bounded_text.h"
#include "hrit/channel.h"
#include "hrit/token_splitter.h"
#include "tests/support/header_builder.h"

namespace segweld {
namespace {

using test::kWorkedExample;

struct Decoded {
    int result;
    HritHeader header;
};

Decoded Decode(const std::string& text) {
    Decoded decoded{0, HritHeader{}};
    CopyText(decoded.header.annotation, text, 61);
    decoded.result = DecodeAnnotation(decoded.header);
    return decoded;
}

// The worked example with one token replaced (tokens counted from 1).
std::string WithToken(int index, const std::string& token) {
    std::string text = kWorkedExample;
    size_t begin = 0;
    for (int i = 1; i < index; ++i) {
        begin = text.find('-', begin) + 1;
    }
    const size_t end = text.find('-', begin);
    return text.replace(begin, end == std::string::npos ? std::string::npos : end - begin, token);
}

TEST(Annotation, WorkedExampleYieldsEveryField) {
    const Decoded d = Decode(kWorkedExample);
    const HritHeader& h = d.header;
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(h.hritOrLrit, 'H');
    EXPECT_STREQ(h.formatVersion, "000");
    EXPECT_STREQ(h.disseminationId, "MSG1");
    EXPECT_STREQ(h.sourceName, "MSG1");
    EXPECT_STREQ(h.sourceClass, "MSG1");
    EXPECT_STREQ(h.channel, "IR_108");
    EXPECT_EQ(h.channelCode, 9);
    EXPECT_EQ(h.segmentKind, 0);
    EXPECT_EQ(h.segmentNumber, 1);
    EXPECT_STREQ(h.timeText, "200706151200");
    const std::tm& t = h.nominalTime;
    EXPECT_EQ(std::tie(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_wday,
                       t.tm_yday),
              std::make_tuple(107, 5, 15, 12, 0, 0, 0, 0));
    EXPECT_EQ(h.compressedMark, 'C');
    EXPECT_EQ(h.encryptedMark, '_');
    EXPECT_STREQ(h.shortName, "200706151200H901");
    EXPECT_STREQ(h.label, "IR_108     H   ");
    EXPECT_STREQ(h.timeLabel, "15-06-07 12:00  ");
    EXPECT_STREQ(h.annotation, kWorkedExample) << "the parse must leave the text intact";
}

// The time label is the same text on every system, also for dates that some
// C libraries' strftime refuses (day 0, month 0, year 0).
TEST(Annotation, TimeLabelOfAnyTimeToken) {
    const struct {
        const char* label;
        std::string annotation;
        const char* timeLabel;
    } rows[] = {
        {"cleared time (five tokens)", "H-000-MSG1__-MSG1________-IR_108___", "00-01-00 00:00  "},
        {"day and month 00", WithToken(7, "200700001200"), "00-00-07 12:00  "},
        {"year before 1900", WithToken(7, "189912312359"), "31-12-99 23:59  "},
        {"fields beyond their ranges", WithToken(7, "200713329961"), "32-13-07 99:61  "},
        {"year 0 and blanks", WithToken(7, "0000 1 2 3 4"), "02-01-00 03:04  "},
        {"short token", WithToken(7, "2007"), "00-00-07 00:00  "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_STREQ(Decode(row.annotation).header.timeLabel, row.timeLabel);
    }
}

TEST(Annotation, PrologueAndEpilogueMarks) {
    const std::string unnamed = "_________";  // no channel token
    const std::tuple<std::string, char> cases[] = {
        {WithToken(6, "PRO______").replace(26, 9, unnamed), 'P'},
        {WithToken(6, "PRO______"), 'p'},
        {WithToken(6, "EPI______").replace(26, 9, unnamed), 'E'},
        {WithToken(6, "EPI______"), 'e'},
        {WithToken(6, "PRO"), 0},
    };
    for (const auto& [text, kind] : cases) {
        const Decoded d = Decode(text);
        EXPECT_EQ(d.header.segmentKind, kind) << text;
        EXPECT_EQ(d.header.segmentNumber, 0) << text;
        EXPECT_EQ(d.header.channelCode, kind == 0 ? 9 : 0) << text;
    }
    EXPECT_STREQ(Decode(std::get<0>(cases[0])).header.shortName, "200706151200H000");
}

TEST(Annotation, TextsOutsideTheConventionAreNotDecoded) {
    for (const std::string text : {"H-000-ABC1__-MSG1________-IR_108___-000001___-200706151200-C_",
                                   "H-000-MS", "", "xxxxxxMSGxxxxxxxxxxxx"}) {
        const Decoded d = Decode(text);
        EXPECT_EQ(d.result, 0) << text;
        HritHeader untouched{};
        CopyText(untouched.annotation, text, 61);
        EXPECT_EQ(std::memcmp(&d.header, &untouched, sizeof untouched), 0) << text;
    }
}

TEST(Annotation, MissingTokensStopTheParseAtTheirStep) {
    struct Case {
        const char* text;
        int result;
        char hritOrLrit;
        const char* formatVersion;
        const char* disseminationId;
        const char* sourceName;
    };
    const Case cases[] = {
        {"H_____MSG1__", 0, 0, "", "", ""},  // no "-" at all
        {"H-----MSG", 0, 'H', "MSG", "", ""},
        {"H-000-MSG1__", 0, 'H', "000", "MSG1", ""},
        {"H-000-MSG1__-MSG2____", 0, 'H', "000", "MSG1", "MSG2"},
    };
    for (const Case& c : cases) {
        const Decoded d = Decode(c.text);
        EXPECT_EQ(d.result, c.result) << c.text;
        EXPECT_EQ(d.header.hritOrLrit, c.hritOrLrit) << c.text;
        EXPECT_STREQ(d.header.formatVersion, c.formatVersion) << c.text;
        EXPECT_STREQ(d.header.disseminationId, c.disseminationId) << c.text;
        EXPECT_STREQ(d.header.sourceName, c.sourceName) << c.text;
        EXPECT_STREQ(d.header.shortName, "") << c.text;
        EXPECT_EQ(d.header.channelCode, 0) << "no ClassifyChannel before the fifth token";
    }
}

TEST(Annotation, FiveTokensComposeFromClearedFields) {
    const Decoded d = Decode("H-000-MSG1__-MSG1________-IR_108___");
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.header.channelCode, 9);
    EXPECT_STREQ(d.header.shortName, "H900");
    EXPECT_STREQ(d.header.label, "IR_108     H   ");
    EXPECT_EQ(d.header.segmentNumber, 0);
    EXPECT_STREQ(d.header.timeText, "");
    EXPECT_EQ(d.header.compressedMark, 0);
    EXPECT_EQ(d.header.encryptedMark, 0);
    EXPECT_EQ(std::strlen(d.header.timeLabel), 16u);

    const Decoded sixTokens = Decode("H-000-MSG1__-MSG1________-IR_108___-000003___");
    EXPECT_EQ(sixTokens.header.segmentNumber, 3);
    EXPECT_STREQ(sixTokens.header.timeText, "");
}

TEST(Annotation, RunsOfSeparatorsCountAsOne) {
    // The doubled separator moves "MSG" off columns 6 to 8, so only the parse
    // itself takes this text.
    const std::string text = "H--000-MSG1__-MSG1________-IR_108___-000001___-200706151200-C_";
    EXPECT_EQ(Decode(text).result, 0);
    HritHeader header{};
    CopyText(header.annotation, text, 61);
    EXPECT_EQ(ParseAnnotation(header), 1);
    EXPECT_STREQ(header.formatVersion, "000");
    EXPECT_STREQ(header.channel, "IR_108");
    EXPECT_STREQ(header.shortName, "200706151200H901");
}

TEST(Annotation, ChannelNamesAndShortNames) {
    const Decoded longChannel = Decode(WithToken(5, "IR_108____X"));
    EXPECT_STREQ(longChannel.header.channel, "IR_108");
    EXPECT_EQ(longChannel.header.channelCode, 9);

    EXPECT_EQ(Decode(WithToken(5, "ir_108___")).header.channelCode, -1);
    EXPECT_STREQ(Decode(WithToken(5, "XY")).header.shortName, "200706151200HXY01");
    EXPECT_STREQ(Decode(WithToken(6, "000010___")).header.shortName, "200706151200H90a");
    const Decoded hrv = Decode(WithToken(6, "000024___").replace(26, 9, "HRV______"));
    EXPECT_STREQ(hrv.header.shortName, "200706151200Hc18");
    EXPECT_STREQ(hrv.header.label, "HRV        H   ");
}

TEST(Annotation, SourceClasses) {
    const std::pair<const char*, const char*> cases[] = {
        {"SERVICE_____", "Srvc"}, {"MPEF________", "Mpef"}, {"MPEF2_______", "Frgn"},
        {"MET7________", "MET"},  {"MSG2________", "MSG2"}, {"GOES12______", "Frgn"},
    };
    for (const auto& [token, sourceClass] : cases) {
        EXPECT_STREQ(Decode(WithToken(4, token)).header.sourceClass, sourceClass) << token;
    }
}

TEST(Annotation, CompressionAndEncryptionMarks) {
    const std::tuple<const char*, char, char> cases[] = {
        {"__", '_', '_'}, {"CE", 'C', 'E'}, {"_E", '_', 'E'}, {"EC", 'C', 'E'}};
    for (const auto& [token, compressed, encrypted] : cases) {
        const Decoded d = Decode(WithToken(8, token));
        EXPECT_EQ(d.header.compressedMark, compressed) << token;
        EXPECT_EQ(d.header.encryptedMark, encrypted) << token;
    }
}

TEST(Annotation, ShortTimeTokenReadsMissingColumnsAsAbsent) {
    const Decoded d = Decode(WithToken(7, "2007061"));
    EXPECT_STREQ(d.header.timeText, "2007061");
    EXPECT_EQ(d.header.nominalTime.tm_year, 107);
    EXPECT_EQ(d.header.nominalTime.tm_mon, 5);
    EXPECT_EQ(d.header.nominalTime.tm_mday, 1) << "a part cut by the token's end keeps its digits";
    EXPECT_EQ(d.header.nominalTime.tm_hour, 0);
    EXPECT_EQ(d.header.nominalTime.tm_min, 0);
}

TEST(Annotation, OverlongTokensAreCutAtTheirFieldsWidth) {
    // A 30-character time token and a channel outside the table: every text
    // stays within its field and ends with a terminator.
    const std::string text = "H-000-MSG1__-MSG1-XYZW-000001-" + std::string(30, '9');
    const Decoded d = Decode(text);
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(std::strlen(d.header.timeText), 19u);
    EXPECT_EQ(std::strlen(d.header.shortName), 19u);
    EXPECT_EQ(d.header.nominalTime.tm_year, 9999 - 1900);
    EXPECT_EQ(d.header.nominalTime.tm_mon, 98);
    EXPECT_LT(std::strlen(d.header.timeLabel), sizeof d.header.timeLabel);
}

TEST(TrimTrailingUnderscores, CutsOnlyTheTrailingRun) {
    const std::pair<const char*, const char*> cases[] = {
        {"A_B__", "A_B"}, {"___", ""}, {"", ""}, {"_A", "_A"}};
    for (const auto& [input, expected] : cases) {
        char text[16];
        std::strcpy(text, input);
        TrimTrailingUnderscores(text);
        EXPECT_STREQ(text, expected) << input;
    }
}

TEST(TokenSplitter, SplitsLikeStrtokWithoutSharedState) {
    TokenSplitter a("--a--bb-", '-');
    TokenSplitter b("x-y", '-');
    EXPECT_EQ(a.Next(), "a");
    EXPECT_EQ(b.Next(), "x");
    EXPECT_EQ(a.Next(), "bb");
    EXPECT_EQ(b.Next(), "y");
    EXPECT_EQ(a.Next(), std::nullopt);
    EXPECT_EQ(b.Next(), std::nullopt);
    EXPECT_EQ(TokenSplitter("---", '-').Next(), std::nullopt);
}

TEST(ClassifyChannel, KindBeforeNameThenExactNames) {
    const std::tuple<char, const char*, int32_t> cases[] = {
        {'p', "IR_108", 0}, {0, "IR_108", 9},  {0, "HRV", 12}, {0, "VIS006", 1},
        {0, "IR_134", 11},  {0, "ir_108", -1}, {0, "", -1},    {0, "IR_1080", -1},
        {'E', "", 0},       {'x', "HRV", 12},
    };
    for (const auto& [kind, channel, code] : cases) {
        HritHeader header{};
        header.segmentKind = kind;
        std::strcpy(header.channel, channel);
        ClassifyChannel(header);
        EXPECT_EQ(header.channelCode, code) << kind << " " << channel;
    }
}

}  // namespace
}  // namespace segweld
