// segweld-info --series: what the walk of the join finds in a product.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/tools/info_test_product.h"

namespace segweld {
namespace {

using test::ProgramResult;
using test::RunInfo;
using ::testing::HasSubstr;
using Json = nlohmann::ordered_json;

// Every key of `expected` has that value in `actual`.
void ExpectSubset(const Json& actual, const Json& expected) {
    for (const auto& [key, value] : expected.items()) {
        EXPECT_EQ(actual.value(key, Json()), value) << key;
    }
}

class SeriesTest : public ::testing::Test {
  protected:
    Json SeriesJson(int expectedExit) {
        const ProgramResult result = RunInfo({"--series", "--json", product.Path(1)});
        EXPECT_EQ(result.exitCode, expectedExit) << result.err;
        return Json::parse(result.out);
    }

    test::TestProduct product;
};

TEST_F(SeriesTest, CompleteProductPassesWithEverySegmentAccounted) {
    product.WriteSeries(1, 8);
    const Json report = SeriesJson(0);
    ASSERT_EQ(report["segments"].size(), 9u) << "eight segments and the number that ends the walk";
    Json segment = Json::parse(R"({"status": "accepted", "plannedEnd": 8, "nameAgrees": true})");
    segment["dataLength"] = segment["bytesPresent"] = product.dataBytes();
    for (int i = 0; i < 8; ++i) {
        segment["number"] = segment["sequenceNumber"] = segment["annotationSegmentNumber"] = i + 1;
        ExpectSubset(report["segments"][i], segment);
    }
    EXPECT_EQ(report["segments"][8]["status"], "absent");
    ExpectSubset(report["summary"], Json::parse(R"({"planned": 8, "missing": [],
        "joinable": [1, 2, 3, 4, 5, 6, 7, 8], "complete": true})"));

    const ProgramResult text = RunInfo({"--series", product.Path(5)});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_THAT(text.out, HasSubstr("complete         yes"));
}

// Segment 4's header names segment 5: flagged, yet joined like any other.
TEST_F(SeriesTest, GapDamageRefusalAndForeignNamesAreFoundFromHeadersAlone) {
    product.WriteSeries(1, 8);
    product.Write(2, std::vector<uint8_t>(product.dataBytes() - 10, 1));
    product.WriteRaw(3, {'n', 'o', 't', ' ', 'H', 'R', 'I', 'T', 0, 0, 0, 0, 0, 0, 0, 0, 0});
    product.Write(4, product.Shape(5, 8), std::vector<uint8_t>(product.dataBytes()));
    std::filesystem::remove(os::PathOf(product.Path(5)));

    const Json report = SeriesJson(1);
    const Json& segments = report["segments"];
    ASSERT_EQ(segments.size(), 5u) << "the walk ends at the gap";
    EXPECT_EQ(segments[1]["bytesPresent"], product.dataBytes() - 10);
    EXPECT_EQ(segments[2]["status"], "headerRefused");
    EXPECT_THAT(segments[2]["reason"].get<std::string>(), HasSubstr("primary header record"));
    ExpectSubset(segments[3], {{"nameAgrees", false}, {"sequenceNumber", 5}});
    EXPECT_EQ(segments[4]["present"], false);
    EXPECT_EQ(report["beyondGap"].size(), 3u);
    EXPECT_EQ(report["beyondGap"][0]["path"], product.Path(6));

    ExpectSubset(report["summary"], Json::parse(R"({"present": [1, 2, 3, 4, 6, 7, 8],
        "joinable": [1, 2, 4], "missing": [5], "notJoined": [3, 5, 6, 7, 8], "refused": [3],
        "damaged": [2], "beyondGap": [6, 7, 8], "nameDisagrees": [4], "complete": false})"));

    const ProgramResult text = RunInfo({"--series", product.Path(1)});
    EXPECT_EQ(text.exitCode, 1);
    for (const std::string& part :
         {std::string("short by 10 bytes"), std::string("missing          5\n"),
          std::string("beyond the gap   6-8\n"), product.Path(8)}) {
        EXPECT_THAT(text.out, HasSubstr(part));
    }
}

// The plan is the one the join follows: that of the headers there are when
// segment 1 is missing; none for Meteosat-7, whose layout gives none.
TEST_F(SeriesTest, ThePlanIsTheOneTheJoinFollows) {
    product.WriteSeries(2, 3), product.WriteSeries(5, 5);
    Json report = Json::parse(RunInfo({"--series", "--json", product.Path(2)}).out);
    ExpectSubset(report["summary"], {{"planned", 8}, {"missing", {1, 4, 6, 7, 8}}});

    for (const int number : {2, 3, 5}) {
        std::filesystem::remove(os::PathOf(product.Path(number)));
    }
    test::SegmentShape met7 = product.Shape(1, 8);
    met7.annotation = "L-000-MTP___-MET7________-00_7_057E-000001___-200706151200-__";
    product.Write(1, met7, test::DistinctData(1, product.dataBytes()));
    report = SeriesJson(1);
    ExpectSubset(report["summary"], {{"planned", 0}, {"nameDisagrees", Json::array()}});
    ExpectSubset(report["segments"][0], {{"plannedStart", nullptr}, {"sequenceNumber", nullptr}});
}

TEST_F(SeriesTest, ProductWithoutAPlanIsNotCalledComplete) {
    for (int number = 1; number <= 2; ++number) {
        product.WriteRaw(
            number,
            test::HeaderBuilder().Primary(0, 0).Annotation(test::SegmentFileName(number)).Build());
    }
    const Json report = SeriesJson(1);
    EXPECT_EQ(report["summary"]["plannedEnd"], 0);
    EXPECT_EQ(report["segments"][0]["nameAgrees"], true) << "the annotation alone decides";
}

}  // namespace
}  // namespace segweld
