#include "hrit/header_records.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/header_builder.h"

namespace segweld {
namespace {

using test::HeaderBuilder;
using ::testing::ElementsAre;

struct Walk {
    HritHeader header;
    std::vector<uint32_t> unexpected;
};

Walk WalkRecords(const std::vector<uint8_t>& bytes, int32_t length = -1) {
    Walk walk{};
    DecodeHeaderRecords(bytes.data(), length < 0 ? static_cast<int32_t>(bytes.size()) : length,
                        walk.header, [&](uint32_t type) { walk.unexpected.push_back(type); });
    return walk;
}

TEST(HeaderRecords, RecordThatRunsPastTheBufferStopsTheWalk) {
    const auto bytes = HeaderBuilder()
                           .Primary(0, 800)
                           .ImageStructure(8, 100, 1, 0)
                           .RecordWithLength(4, 200, {'H', '-'})
                           .Build();
    const Walk walk = WalkRecords(bytes);
    EXPECT_EQ(walk.header.dataLength, 100u);
    EXPECT_EQ(walk.header.columns, 100u);
    EXPECT_EQ(walk.header.hdrType, 4u);
    EXPECT_EQ(walk.header.recLength, 200u);
    EXPECT_STREQ(walk.header.annotation, "");
}

TEST(HeaderRecords, RecordLengthsThatDoNotAdvanceEndTheWalk) {
    for (uint16_t length : {0, 1, 2}) {
        const auto bytes = HeaderBuilder()
                               .Primary(0, 800)
                               .ImageStructure(8, 100, 1, 0)
                               .RecordWithLength(8, length, {})
                               .Annotation(test::kWorkedExample)
                               .Build();
        const Walk walk = WalkRecords(bytes);
        EXPECT_EQ(walk.header.columns, 100u) << length;
        EXPECT_EQ(walk.header.recLength, length);
        EXPECT_TRUE(walk.unexpected.empty()) << "the stuck record is not decoded";
        EXPECT_STREQ(walk.header.annotation, "") << "nothing after it is decoded";
    }
    const auto stuckFirst =
        HeaderBuilder().RecordWithLength(0, 0, {7, 0, 0, 0, 50, 0, 0, 0, 0, 0, 0, 3, 32}).Build();
    const Walk stuck = WalkRecords(stuckFirst);
    EXPECT_EQ(stuck.header.fileTypeCode, 0u);
    EXPECT_EQ(stuck.header.totalHeaderLength, 0);
}

TEST(HeaderRecords, UnexpectedTypesAreReportedAndSkipped) {
    const auto bytes = HeaderBuilder()
                           .Primary(0, 800)
                           .Record(8, {1, 2, 3})
                           .Record(200, {})
                           .ImageStructure(8, 100, 1, 0)
                           .Build();
    const Walk walk = WalkRecords(bytes);
    EXPECT_THAT(walk.unexpected, ElementsAre(8u, 200u));
    EXPECT_EQ(walk.header.columns, 100u);

    ::testing::internal::CaptureStdout();
    HritHeader header;
    DecodeHeaderRecords(bytes.data(), static_cast<int32_t>(bytes.size()), header);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Unexpected hdrtype=8\nUnexpected hdrtype=200\n");
}

TEST(HeaderRecords, KnownRecordsWithoutDecoderChangeNothing) {
    const std::vector<uint8_t> body(40, 0x5A);
    HeaderBuilder builder;
    builder.Primary(0, 800);
    for (uint8_t type : {3, 6, 7, 129, 130, 131}) {
        builder.Record(type, body);
    }
    const Walk walk = WalkRecords(builder.Build());
    const Walk primaryOnly = WalkRecords(HeaderBuilder().Primary(0, 800).Build());
    HritHeader expected = primaryOnly.header;
    expected.totalHeaderLength = walk.header.totalHeaderLength;
    expected.hdrType = 131;
    expected.recLength = 43;
    EXPECT_EQ(std::memcmp(&walk.header, &expected, sizeof expected), 0);
    EXPECT_TRUE(walk.unexpected.empty());
}

TEST(HeaderRecords, FirstRecordOfAnotherTypeIsTheOnlyOneDecoded) {
    const auto bytes = HeaderBuilder().ImageStructure(8, 100, 1, 0).Record(200, {}).Build();
    const Walk walk = WalkRecords(bytes);
    EXPECT_EQ(walk.header.columns, 100u);
    EXPECT_TRUE(walk.unexpected.empty());
}

TEST(HeaderRecords, LaterPrimaryRecordResetsTheRemainingCount) {
    // The first primary record's count runs out one byte into the second
    // primary record, which sets it anew to cover itself and the image
    // structure after it, but not the type-200 record that follows.
    HeaderBuilder builder;
    builder.Primary(0, 800).TotalHeaderLength(20).Record(8, {});
    auto bytes = builder.Build();
    const auto second = HeaderBuilder().Primary(0, 1600).TotalHeaderLength(25).Build();
    bytes.insert(bytes.end(), second.begin(), second.end());
    const auto image = HeaderBuilder().ImageStructure(8, 7, 1, 0).Build();
    bytes.insert(bytes.end(), image.begin(), image.end());
    bytes.insert(bytes.end(), {200, 0, 3});

    const Walk walk = WalkRecords(bytes);
    EXPECT_EQ(walk.header.dataLength, 200u);
    EXPECT_EQ(walk.header.columns, 7u);
    EXPECT_THAT(walk.unexpected, ElementsAre(8u)) << "the count ran out before type 200";
}

TEST(HeaderRecords, ShortRecordsNeverReadTheBytesThatFollowThem) {
    const std::vector<uint8_t> filler(64, 0xEE);
    const auto bytes =
        HeaderBuilder()
            .Primary(0, 800)
            .RecordWithLength(1, 5, {8, 0x01})
            .Record(7, {0xEE, 0xEE, 0xEE, 0xEE, 0xEE})
            .RecordWithLength(2, 36, std::vector<uint8_t>(33, 'A'))
            .Record(7, filler)
            .RecordWithLength(5, 6, {0x40, 1, 2})
            .Record(7, filler)
            .RecordWithLength(4, 13, {'L', '-', '0', '0', '0', '-', 'G', 'O', 'E', 'S'})
            .Record(7, filler)
            .RecordWithLength(128, 9, {1, 65, 5, 0, 7, 0})
            .Record(7, filler)
            .Build();
    const Walk walk = WalkRecords(bytes);
    const HritHeader& h = walk.header;
    EXPECT_EQ(h.bitsPerPixel, 8u);
    EXPECT_EQ(h.columns, 0x0100u) << "one byte of the field lies in the record";
    EXPECT_EQ(h.lines, 0u);
    EXPECT_EQ(h.compressionFlag, 0u);
    EXPECT_STREQ(h.projectionName, std::string(32, 'A').c_str());
    EXPECT_EQ(h.cfac, 0x41000000) << "bytes beyond the record read as zero";
    EXPECT_EQ(h.lfac, 0);
    EXPECT_EQ(h.hemisphere, 0);
    EXPECT_EQ(h.timeStamp[2], 2);
    EXPECT_EQ(h.timeStamp[3], 0);
    EXPECT_EQ(h.timeStamp[6], 0);
    EXPECT_STREQ(h.annotation, "L-000-GOES");
    EXPECT_EQ(h.segmentId[6], 0x0141u) << "the other layout: no MSG annotation was decoded";
    EXPECT_EQ(h.segmentId[2], 0x0500u);
    EXPECT_EQ(h.segmentId[4], 0u);
}

}  // namespace
}  // namespace segweld
