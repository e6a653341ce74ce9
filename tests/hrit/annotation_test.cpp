#include "hrit/annotation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hrit/bounded_text.h"
#include "hrit/token_splitter.h"
#include "tests/hrit/header_fields.h"
#include "tests/support/header_builder.h"

namespace segweld {
namespace {

using test::kWorkedExample;

// `text` with one token replaced (tokens counted from 1).
std::string WithToken(int index, const std::string& token, std::string text = kWorkedExample) {
    size_t begin = 0;
    for (int i = 1; i < index; ++i) {
        begin = text.find('-', begin) + 1;
    }
    const size_t end = text.find('-', begin);
    return text.replace(begin, end == std::string::npos ? std::string::npos : end - begin, token);
}

const std::string kNothingDecoded =
    "hritOrLrit=;formatVersion=;disseminationId=;sourceName=;sourceClass=;channel=;channelCode=0;"
    "segmentKind=;segmentNumber=0;timeText=;compressedMark=;shortName=;label=;timeLabel=;tm_year=0";

TEST(Annotation, DecodedFields) {
    struct Row {
        const char* label;
        std::string text;
        int result;
        std::string fields;
        int (*decode)(HritHeader&) = DecodeAnnotation;
    };
    const Row rows[] = {
        {"worked example", kWorkedExample, 1,
         "hritOrLrit=H;formatVersion=000;disseminationId=MSG1;sourceName=MSG1;sourceClass=MSG1;"
         "channel=IR_108;channelCode=9;segmentKind=;segmentNumber=1;timeText=200706151200;"
         "tm_year=107;tm_mon=5;tm_mday=15;tm_hour=12;tm_min=0;tm_sec=0;tm_wday=0;tm_yday=0;"
         "compressedMark=C;encryptedMark=_;shortName=200706151200H901;label=IR_108     H   ;"
         "timeLabel=15-06-07 12:00  "},
        {"prologue", WithToken(5, "_________", WithToken(6, "PRO______")), 1,
         "segmentKind=P;segmentNumber=0;channel=;channelCode=0;shortName=200706151200H000"},
        {"prologue of a channel", WithToken(6, "PRO______"), 1,
         "segmentKind=p;segmentNumber=0;channelCode=0"},
        {"epilogue", WithToken(5, "_________", WithToken(6, "EPI______")), 1,
         "segmentKind=E;segmentNumber=0;channelCode=0"},
        {"epilogue of a channel", WithToken(6, "EPI______"), 1,
         "segmentKind=e;segmentNumber=0;channelCode=0"},
        {"short PRO token", WithToken(6, "PRO"), 1, "segmentKind=;segmentNumber=0;channelCode=9"},
        {"other dissemination", "H-000-ABC1__-MSG1________-IR_108___-000001___-200706151200-C_", 0,
         kNothingDecoded},
        {"empty", "", 0, kNothingDecoded},
        {"MSG elsewhere", "xxxxxxMSGxxxxxxxxxxxx", 0, kNothingDecoded},
        {"two tokens", "H-----MSG", 0,
         "hritOrLrit=H;formatVersion=MSG;disseminationId=;shortName=;channelCode=0"},
        {"three tokens", "H-000-MSG1__", 0,
         "formatVersion=000;disseminationId=MSG1;sourceName=;shortName=;channelCode=0"},
        {"four tokens", "H-000-MSG1__-MSG2____", 0,
         "disseminationId=MSG1;sourceName=MSG2;shortName=;channelCode=0"},
        {"five tokens", "H-000-MSG1__-MSG1________-IR_108___", 1,
         "channelCode=9;shortName=H900;label=IR_108     H   ;segmentNumber=0;timeText=;"
         "compressedMark=;encryptedMark=;timeLabel=00-01-00 00:00  "},
        // The time label is the same text on every system, also for dates that
        // some C libraries' strftime refuses (day 0, month 0, year 0).
        {"year before 1900", WithToken(7, "189912312359"), 1, "timeLabel=31-12-99 23:59  "},
        {"fields beyond their ranges", WithToken(7, "200713329961"), 1,
         "timeLabel=32-13-07 99:61  "},
        {"year 0 and blanks", WithToken(7, "0000 1 2 3 4"), 1, "timeLabel=02-01-00 03:04  "},
        {"short time token", WithToken(7, "2007"), 1, "timeLabel=00-00-07 00:00  "},
        {"six tokens", "H-000-MSG1__-MSG1________-IR_108___-000003___", 1,
         "segmentNumber=3;timeText="},
        {"doubled separator", "H--000-MSG1__-MSG1________-IR_108___-000001___-200706151200-C_", 0,
         ""},
        {"doubled separator, parse alone",
         "H--000-MSG1__-MSG1________-IR_108___-000001___-200706151200-C_", 1,
         "formatVersion=000;channel=IR_108;shortName=200706151200H901", ParseAnnotation},
        {"long channel", WithToken(5, "IR_108____X"), 1, "channel=IR_108;channelCode=9"},
        {"lower-case channel", WithToken(5, "ir_108___"), 1, "channelCode=-1"},
        {"channel with a suffix", WithToken(5, "IR_1080"), 1, "channelCode=-1"},
        {"no channel", WithToken(5, "_________"), 1, "channel=;channelCode=-1"},
        {"unknown channel", WithToken(5, "XY"), 1, "shortName=200706151200HXY01"},
        {"segment ten", WithToken(6, "000010___"), 1, "shortName=200706151200H90a"},
        {"HRV", WithToken(5, "HRV______", WithToken(6, "000024___")), 1,
         "shortName=200706151200Hc18;label=HRV        H   ;channelCode=12"},
        {"service", WithToken(4, "SERVICE_____"), 1, "sourceClass=Srvc"},
        {"MPEF", WithToken(4, "MPEF________"), 1, "sourceClass=Mpef"},
        {"MPEF2", WithToken(4, "MPEF2_______"), 1, "sourceClass=Frgn"},
        {"MET7", WithToken(4, "MET7________"), 1, "sourceClass=MET"},
        {"MSG2", WithToken(4, "MSG2________"), 1, "sourceClass=MSG2"},
        {"no marks", WithToken(8, "__"), 1, "compressedMark=_;encryptedMark=_"},
        {"encrypted", WithToken(8, "_E"), 1, "compressedMark=_;encryptedMark=E"},
        {"marks swapped", WithToken(8, "EC"), 1, "compressedMark=C;encryptedMark=E"},
        // A part cut by the token's end keeps its digits; missing parts read as absent.
        {"short time", WithToken(7, "2007061"), 1,
         "timeText=2007061;tm_year=107;tm_mon=5;tm_mday=1;tm_hour=0;tm_min=0"},
        // Every text stays within its field and ends with a terminator.
        {"overlong time", "H-000-MSG1__-MSG1-XYZW-000001-" + std::string(30, '9'), 1,
         "timeText=" + std::string(19, '9') + ";shortName=" + std::string(19, '9') +
             ";tm_year=8099;tm_mon=98"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        HritHeader header{};
        CopyText(header.annotation, row.text, 61);
        EXPECT_EQ(row.decode(header), row.result);
        test::ExpectFields(header, row.fields);
        EXPECT_EQ(header.annotation, row.text.substr(0, 61)) << "the parse leaves the text intact";
        EXPECT_EQ(std::strlen(header.timeLabel), row.result == 0 ? 0u : 16u);
    }
}

TEST(TokenSplitter, SplitsLikeStrtokWithoutSharedState) {
    TokenSplitter a("--a--bb-", '-');
    TokenSplitter b("x-y", '-');
    const std::vector<decltype(a.Next())> interleaved{a.Next(), b.Next(), a.Next(),
                                                      b.Next(), a.Next(), b.Next()};
    EXPECT_EQ(interleaved,
              decltype(interleaved)({"a", "x", "bb", "y", std::nullopt, std::nullopt}));
    EXPECT_EQ(TokenSplitter("---", '-').Next(), std::nullopt);
}

}  // namespace
}  // namespace segweld
