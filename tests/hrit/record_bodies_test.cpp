#include "hrit/record_bodies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hrit/header_records.h"
#include "tests/support/header_builder.h"

namespace segweld {
namespace {

using test::HeaderBuilder;

HritHeader WalkAll(const std::vector<uint8_t>& bytes) {
    HritHeader header;
    DecodeHeaderRecords(bytes.data(), static_cast<int32_t>(bytes.size()), header);
    return header;
}

HritHeader Primary(uint32_t high, uint32_t low) {
    const auto bytes = HeaderBuilder().Primary(0, uint64_t{high} << 32 | low).Build();
    return WalkAll(bytes);
}

TEST(PrimaryHeader, DataLengthIsTheBitCountInWholeBytes) {
    EXPECT_EQ(Primary(0, 800).dataLength, 100u);
    EXPECT_EQ(Primary(0, 803).dataLength, 100u);
    EXPECT_EQ(Primary(0, 0x80000000u).dataLength, 1u << 28);
    EXPECT_EQ(Primary(1, 0).dataLength, 1u << 29);
    const HritHeader tooLong = Primary(8, 0);
    EXPECT_EQ(DataFieldBytes(tooLong), uint64_t{1} << 32) << "the full length is still known";
}

TEST(Navigation, HemisphereFollowsTheSignOfLfac) {
    const auto header = [](std::initializer_list<int32_t> lfacs) {
        HeaderBuilder builder;
        builder.Primary(0, 0);
        for (int32_t lfac : lfacs) {
            builder.Navigation("GEOS(+000.0)", 1, lfac, 2, 3);
        }
        return WalkAll(builder.Build());
    };
    EXPECT_EQ(header({1}).hemisphere, 'n');
    EXPECT_EQ(header({-1}).hemisphere, 's');
    EXPECT_EQ(header({0}).hemisphere, 0);
    EXPECT_EQ(header({-5, 0}).hemisphere, 's') << "lfac 0 keeps what an earlier record set";
    const HritHeader values = header({-13642337});
    EXPECT_EQ(values.cfac, 1);
    EXPECT_EQ(values.lfac, -13642337);
    EXPECT_EQ(values.coff, 2);
    EXPECT_EQ(values.loff, 3);
}

TEST(Navigation, ProjectionNameLosesTrailingBlanksOnlyWhenItFillsItsWidth) {
    const auto name = [](const std::vector<uint8_t>& field) {
        std::vector<uint8_t> body = field;
        body.resize(48, 0);
        return std::string(
            WalkAll(HeaderBuilder().Primary(0, 0).Record(2, body).Build()).projectionName);
    };
    const auto text = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    EXPECT_EQ(name(text("GEOS(+000.0)" + std::string(20, ' '))), "GEOS(+000.0)");
    EXPECT_EQ(name(text(std::string(32, ' '))), " ");
    EXPECT_EQ(name(text(std::string(32, 'X'))), std::string(32, 'X'));
    EXPECT_EQ(name(text("GEOS (+000.0)" + std::string(19, ' '))), "GEOS (+000.0)");
    EXPECT_EQ(name(text("GEOS  ")), "GEOS  ") << "a zero byte ended the copy: nothing is cut";
}

TEST(AnnotationRecord, TextIsCutAtSixtyOneCharactersOrItsFirstZero) {
    const std::string full = test::kWorkedExample;
    EXPECT_EQ(WalkAll(HeaderBuilder().Primary(0, 0).Annotation(full).Build()).annotation, full);
    EXPECT_EQ(
        std::string(
            WalkAll(HeaderBuilder().Primary(0, 0).Annotation(full + "XYZ").Build()).annotation),
        full);
    std::string zeroed = full;
    zeroed[10] = '\0';
    EXPECT_EQ(
        std::string(WalkAll(HeaderBuilder().Primary(0, 0).Annotation(zeroed).Build()).annotation),
        full.substr(0, 10));
}

TEST(TimeStamp, SevenBytesAreCopiedUnconverted) {
    const HritHeader h = WalkAll(HeaderBuilder().Primary(0, 0).TimeStamp(18062, 43920000).Build());
    const uint8_t expected[7] = {0x40, 0x46, 0x8E, 0x02, 0x9E, 0x2A, 0x80};
    EXPECT_EQ(std::vector<uint8_t>(h.timeStamp, h.timeStamp + 7),
              std::vector<uint8_t>(expected, expected + 7));
}

TEST(SegmentIdentification, LayoutFollowsTheDisseminationId) {
    const auto msg = WalkAll(HeaderBuilder()
                                 .Primary(0, 0)
                                 .Annotation(test::kWorkedExample)
                                 .MsgSegmentIdentification(322, 12, 5, 1, 24, 3)
                                 .Build());
    EXPECT_EQ(std::vector<uint32_t>(msg.segmentId, msg.segmentId + 7),
              (std::vector<uint32_t>{322, 12, 5, 1, 24, 3, 0}));

    // The same 13 bytes before any annotation: the other layout.
    const auto other = WalkAll(HeaderBuilder()
                                   .Primary(0, 0)
                                   .MsgSegmentIdentification(322, 12, 5, 1, 24, 3)
                                   .Annotation(test::kWorkedExample)
                                   .Build());
    // offset 3: 0x0142 identifier; offset 5: 0x0C00 sequence; offset 11: 0x1803 last.
    EXPECT_EQ(std::vector<uint32_t>(other.segmentId, other.segmentId + 7),
              (std::vector<uint32_t>{0, 0, 0x0C00, 1, 0x1803, 0, 0x0142}));
}

}  // namespace
}  // namespace segweld
