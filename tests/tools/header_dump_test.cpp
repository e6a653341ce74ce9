// segweld-info FILE...: the header dump, as a table and as JSON.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <set>
#include <sstream>

#include "tests/tools/info_test_product.h"

namespace segweld {
namespace {

using test::HeaderBuilder;
using test::ParseJson;
using test::ProgramResult;
using test::RunInfo;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

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

std::vector<uint8_t> WithData(std::vector<uint8_t> header, const std::vector<uint8_t>& data) {
    header.insert(header.end(), data.begin(), data.end());
    return header;
}

std::vector<std::string> KeysOf(const nlohmann::ordered_json& object) {
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

TEST_F(HeaderDumpTest, JsonOfTheWorkedExampleNamesEveryFieldInOrder) {
    const std::string file =
        Write("example",
              WithData(HeaderBuilder().Primary(0, 800).Annotation(test::kWorkedExample).Build(),
                       {'A', 'B'}));
    const ProgramResult result = RunInfo({"--json", file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto document = ParseJson(result.out);
    ASSERT_EQ(document.size(), 1u);
    const auto& entry = document[0];
    EXPECT_THAT(KeysOf(entry),
                ElementsAreArray({"file", "headerLength", "unexpectedTypes", "header"}));
    EXPECT_EQ(entry["file"], file);
    EXPECT_EQ(entry["headerLength"], 80);
    EXPECT_EQ(entry["unexpectedTypes"], nlohmann::json::array());

    const auto& h = entry["header"];
    EXPECT_THAT(KeysOf(h), ElementsAreArray(Words(kFieldNames)));
    EXPECT_EQ(h["segmentKind"], "") << "an ordinary segment has no kind character";
    EXPECT_EQ(h["timeText"], "200706151200");
    EXPECT_EQ(h["compressedMark"], "C");
    EXPECT_EQ(h["compressionKind"], "?");
    EXPECT_EQ(h["dataLength"], 100);
    const auto& time = h["nominalTime"];
    EXPECT_THAT(KeysOf(time), ElementsAreArray({"tm_sec", "tm_min", "tm_hour", "tm_mday", "tm_mon",
                                                "tm_year", "tm_wday", "tm_yday", "tm_isdst"}));
    EXPECT_EQ(time["tm_year"], 107);
    EXPECT_EQ(h["timeStamp"], nlohmann::json::array({0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(h["hemisphere"], 0);
}

TEST_F(HeaderDumpTest, JsonOfARealShapedHeader) {
    const std::string file =
        Write("real", WithData(test::RealSegmentHeader(), {0xFF, 0x01, 0x00, 0x00}));
    const ProgramResult result = RunInfo({"--json", file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto h = ParseJson(result.out)[0]["header"];
    EXPECT_EQ(h["hdrType"], 129) << "the last record walked";
    EXPECT_EQ(h["totalHeaderLength"], 6198);
    EXPECT_EQ(h["dataLength"], 3712 * 464 * 10 / 8);
    EXPECT_EQ(h["compressionKind"], "w");
    EXPECT_EQ(h["hemisphere"], int{'s'}) << "a character code, as a number";
    const uint32_t ms = 43200000 + 12 * 60 * 1000;
    EXPECT_EQ(h["timeStamp"],
              nlohmann::json::array({0x40, 18062 >> 8, 18062 & 0xFF, ms >> 24, (ms >> 16) & 0xFF,
                                     (ms >> 8) & 0xFF, ms & 0xFF}));
    EXPECT_EQ(h["segmentId"], nlohmann::json::array({321, 9, 1, 1, 8, 3, 0}));
}

TEST_F(HeaderDumpTest, HighBytesAndUnexpectedRecordTypesKeepTheJsonClean) {
    const std::string annotation =
        "\xE9-000-MSG1__-MSG\xE9\xFF_______-IR_108___-000001___-200706151200-C_";
    const std::string file = Write("odd", HeaderBuilder()
                                              .Primary(0, 0)
                                              .Record(8, {1, 2})
                                              .Annotation(annotation)
                                              .Record(200, {})
                                              .Build());
    const ProgramResult result = RunInfo({"--json", file});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out, Not(HasSubstr("Unexpected hdrtype")));
    EXPECT_THAT(result.out, HasSubstr("\"\\u00e9\"")) << "0xE9 is written as U+00E9";
    const auto entry = ParseJson(result.out)[0];
    EXPECT_EQ(entry["unexpectedTypes"], nlohmann::json::array({8, 200}));
    EXPECT_EQ(entry["header"]["hritOrLrit"], "\u00e9");
    EXPECT_EQ(entry["header"]["sourceName"], "MSG\u00e9\u00ff");
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
    std::vector<std::string> files;
    for (const auto& [file, reason] : cases) {
        files.push_back(file);
    }
    std::vector<std::string> jsonArguments = files;
    jsonArguments.insert(jsonArguments.begin(), "--json");
    const ProgramResult json = RunInfo(jsonArguments);
    const ProgramResult table = RunInfo(files);
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(table.exitCode, 1);
    const auto document = ParseJson(json.out);
    ASSERT_EQ(document.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_THAT(KeysOf(document[i]), ElementsAreArray({"file", "headerLength", "refusal"}));
        EXPECT_EQ(document[i]["headerLength"], 0);
        EXPECT_THAT(document[i]["refusal"].get<std::string>(), HasSubstr(cases[i].second));
        EXPECT_THAT(table.out, HasSubstr(cases[i].second));
    }
}

TEST_F(HeaderDumpTest, TableShowsEveryFieldAlignedAndSpelledOut) {
    const std::string file = Write("real", test::RealSegmentHeader());
    const ProgramResult result = RunInfo({file});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::istringstream lines(result.out);
    std::string line;
    std::vector<std::string> names;
    std::set<size_t> valueColumns;
    while (std::getline(lines, line)) {
        const size_t nameEnd = line.find(' ');
        names.push_back(line.substr(0, nameEnd));
        valueColumns.insert(line.find_first_not_of(' ', nameEnd));
    }
    EXPECT_THAT(names, ElementsAreArray(
                           Words(std::string("file headerLength unexpectedTypes ") + kFieldNames)));
    EXPECT_EQ(valueColumns.size(), 1u) << "every value starts in the same column";
    EXPECT_THAT(result.out, HasSubstr("\"IR_108\""));
    EXPECT_THAT(result.out, HasSubstr("'s' (115)"));
    EXPECT_THAT(result.out, HasSubstr("2007-06-15, 43920000 ms = 12:12:00.000"));
    EXPECT_THAT(result.out, HasSubstr("sequence 1, planned 1 to 8"));
    EXPECT_THAT(result.out, HasSubstr("2007-06-15 12:00:00"));
}

}  // namespace
}  // namespace segweld
