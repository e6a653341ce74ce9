// segweld-info's command line, and its header dump as a table and as JSON.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <sstream>
#include <tuple>

#include "tests/tools/info_test_product.h"

namespace segweld {
namespace {

using test::HeaderBuilder;
using test::ProgramResult;
using test::RunInfo;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using Json = nlohmann::ordered_json;

// The fields of HritHeader, in order.
const char* const kFieldNames =
    "hdrType recLength fileTypeCode totalHeaderLength dataLength dataFieldLengthHigh "
    "dataFieldLengthLow bitsPerPixel columns lines compressionFlag compressionKind projectionName "
    "cfac lfac coff loff annotation hritOrLrit formatVersion disseminationId sourceName "
    "sourceClass hemisphere channel channelCode segmentKind segmentNumber timeText "
    "compressedMark encryptedMark shortName label timeLabel nominalTime timeStamp segmentId";

std::vector<std::string> Words(const std::string& text) {
    std::istringstream words(text);
    return {std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
}

// The JSON keys: the fields, each time and the segment identification with
// its decoded companion beside it.
std::vector<std::string> JsonKeys() {
    std::vector<std::string> keys;
    for (const std::string& field : Words(kFieldNames)) {
        keys.push_back(field);
        if (field == "nominalTime" || field == "timeStamp") {
            keys.push_back(field + "Utc");
        } else if (field == "segmentId") {
            keys.push_back("segmentIdentification");
            keys.push_back("segmentPlan");
        }
    }
    return keys;
}

std::vector<std::string> KeysOf(const Json& object) {
    std::vector<std::string> keys;
    for (const auto& item : object.items()) {
        keys.push_back(item.key());
    }
    return keys;
}

class HeaderDumpTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        test::WriteFile(folder / name, bytes);
        return folder / name;
    }

    test::TempFolder folder;
};

TEST_F(HeaderDumpTest, JsonAndTableNameEveryFieldInOrderAndJsonKeepsOddBytesClean) {
    const std::string odd =
        "\xE9-000-MSG1__-MSG\xE9\xFF_______-IR_108___-000001___-200706151200-C_";
    const test::SegmentShape met7{
        .annotation = "L-000-MTP___-MET7________-00_7_057E-000001___-200706151200-__"};
    const std::vector<std::string> files = {
        Write("real", test::Concat({test::RealSegmentHeader(), {0xFF, 0x01, 0x00, 0x00}})),
        Write("odd", HeaderBuilder()
                         .Primary(0, 0)
                         .Record(8, {1, 2})
                         .Annotation(odd)
                         .Record(200, {})
                         .Build()),
        Write("met7", test::RealSegmentHeader(met7)),
    };
    const ProgramResult result = RunInfo({"--json", files[0], files[1], files[2]});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, ::testing::Not(HasSubstr("Unexpected hdrtype")));
    EXPECT_THAT(result.out, HasSubstr("\"\\u00e9\"")) << "0xE9 is written as U+00E9";
    const Json document = Json::parse(result.out);
    ASSERT_EQ(document.size(), 3u);
    EXPECT_EQ(document[0]["file"], files[0]);
    EXPECT_THAT(KeysOf(document[0]),
                ElementsAreArray({"schema", "file", "headerLength", "unexpectedTypes", "header"}));
    EXPECT_THAT(KeysOf(document[0]["header"]), ElementsAreArray(JsonKeys()));
    EXPECT_THAT(KeysOf(document[0]["header"]["nominalTime"]),
                ElementsAreArray({"tm_sec", "tm_min", "tm_hour", "tm_mday", "tm_mon", "tm_year",
                                  "tm_wday", "tm_yday", "tm_isdst"}));
    const uint32_t ms = 43200000 + 12 * 60 * 1000;
    // The decoded values are checked in the hrit tests; these rows check how
    // each kind of field is written.
    const std::pair<const char*, Json> rows[] = {
        {"/0/headerLength", 6198},
        {"/0/unexpectedTypes", Json::array()},
        {"/0/header/segmentKind", ""},  // an ordinary segment has no kind character
        {"/0/header/timeText", "200706151200"},
        {"/0/header/compressedMark", "_"},
        {"/0/header/dataLength", 2152960},
        {"/0/header/nominalTime/tm_year", 107},
        {"/0/header/compressionKind", "w"},  // from the data bytes after the header
        {"/0/header/hemisphere", "s"},       // held in a number, written as every character is
        {"/0/header/timeStamp", Json::array({0x40, 18062 >> 8, 18062 & 0xFF, ms >> 24,
                                             (ms >> 16) & 0xFF, (ms >> 8) & 0xFF, ms & 0xFF})},
        {"/0/schema", 2},
        {"/0/header/nominalTimeUtc", "2007-06-15T12:00:00Z"},
        {"/0/header/timeStampUtc", "2007-06-15T12:12:00.000Z"},
        {"/0/header/segmentIdentification/plannedEnd", 8},
        {"/0/header/segmentPlan", {{"start", 1}, {"end", 8}}},
        {"/1/header/timeStampUtc", nullptr},  // no time stamp record
        {"/1/unexpectedTypes", Json::array({8, 200})},
        {"/1/header/hritOrLrit", "\u00e9"},
        {"/1/header/sourceName", "MSG\u00e9\u00ff"},
        {"/1/header/segmentPlan", nullptr},  // no segment identification record
        // Meteosat-7: an annotation that is not decoded, and no MSG layout.
        {"/2/header/nominalTime", nullptr},
        {"/2/header/nominalTimeUtc", nullptr},
        {"/2/header/segmentIdentification", nullptr},
    };
    for (const auto& [pointer, expected] : rows) {
        const Json::json_pointer at(pointer);
        EXPECT_EQ(document.contains(at) ? document[at] : Json(), expected) << pointer;
    }

    const ProgramResult table = RunInfo({files[0]});
    EXPECT_EQ(table.exitCode, 0) << table.err;
    std::istringstream lines(table.out);
    std::vector<std::string> names;
    std::set<size_t> valueColumns;
    for (std::string line; std::getline(lines, line);) {
        const size_t nameEnd = line.find(' ');
        names.push_back(line.substr(0, nameEnd));
        valueColumns.insert(line.find_first_not_of(' ', nameEnd));
    }
    EXPECT_EQ(names, Words(std::string("file headerLength unexpectedTypes ") + kFieldNames));
    EXPECT_EQ(valueColumns.size(), 1u) << "every value starts in the same column";
    for (const char* value : {"\"IR_108\"", "'s' (115)", "2007-06-15, 43920000 ms = 12:12:00.000",
                              "sequence 1, planned 1 to 8", "2007-06-15 12:00:00"}) {
        EXPECT_THAT(table.out, HasSubstr(value));
    }
    const std::string met7Table = RunInfo({files[2]}).out;
    EXPECT_THAT(met7Table, HasSubstr("nominalTime          absent (not decoded"));
    EXPECT_THAT(met7Table, ::testing::Not(HasSubstr("planned")));
}

TEST_F(HeaderDumpTest, RefusedHeadersSayWhyInBothForms) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {Write("short", {0, 0, 16, 0}), "shorter than a primary header record"},
        {Write("not-primary", HeaderBuilder().Record(1, std::vector<uint8_t>(13)).Build()),
         "does not begin with a primary header record"},
        {Write("too-long", HeaderBuilder().Primary(0, 0).TotalHeaderLength(10001).Build()),
         "outside 10 to 10000"},
        {Write("cut", HeaderBuilder().Primary(0, 0).TotalHeaderLength(500).Build()),
         "ends inside its header"},
        {folder / "absent", "cannot be opened"},
        {folder.path().string(), "not a regular file"},
    };
    std::vector<std::string> arguments = {"--json"};
    for (const auto& [file, reason] : cases) {
        arguments.push_back(file);
    }
    const ProgramResult json = RunInfo(arguments);
    const ProgramResult table = RunInfo({arguments.begin() + 1, arguments.end()});
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(table.exitCode, 1);
    const auto document = Json::parse(json.out);
    ASSERT_EQ(document.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_THAT(KeysOf(document[i]),
                    ElementsAreArray({"schema", "file", "headerLength", "refusal"}));
        EXPECT_EQ(document[i]["headerLength"], 0);
        EXPECT_THAT(document[i]["refusal"].get<std::string>(), HasSubstr(cases[i].second));
        EXPECT_THAT(table.out, HasSubstr(cases[i].second));
    }
}

TEST_F(HeaderDumpTest, BadArgumentsAreRefusedWithExitTwo) {
    const std::string file = Write("real", test::RealSegmentHeader());
    const std::string series = folder / "absent";
    const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> cases = {
        // the arguments, the message, the mode whose help the hint names
        {{}, "no FILE given", ""},
        {{"--json"}, "no FILE given", ""},
        {{"--bogus", file}, "unknown option '--bogus'", ""},
        {{"--series"}, "no FILE given", "--series "},
        {{"--series", file, "b"},
         "extra argument 'b': --series takes exactly one FILE",
         "--series "},
        {{"--preview"}, "--preview needs the name of the PNG file to write", ""},
        {{"--preview", "out.png", file, "b"},
         "extra argument 'b': --preview takes exactly one FILE",
         "--preview "},
        {{"--preview", "out.png", "--json", file},
         "--json does not go with --preview",
         "--preview "},
        {{"--series", "--preview", "out.png", file},
         "--series and --preview cannot be combined",
         "--preview "},
        {{"--series", series}, series + ": no such file", ""},
    };
    for (const auto& [arguments, message, mode] : cases) {
        const ProgramResult result = RunInfo(arguments);
        EXPECT_EQ(result.exitCode, 2) << message;
        EXPECT_EQ(result.err, "segweld-info: " + message + "\nTry 'segweld-info " + mode +
                                  "--help' for more information.\n");
        EXPECT_EQ(result.out, "");
    }
}

}  // namespace
}  // namespace segweld
