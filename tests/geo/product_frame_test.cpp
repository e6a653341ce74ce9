// The HRV windows of products whose plan does not start at segment 1 (Rapid
// Scan: segments 16 to 24).
#include "geo/product_frame.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

namespace segweld::geo {
namespace {

JoinedSegment RapidScanHrvSegment(int32_t number) {
    JoinedSegment segment{.number = number, .path = "segment", .headerLength = 6198, .pixels = {}};
    HritHeader& h = segment.header;
    h.bitsPerPixel = 10;
    h.columns = 5568;
    h.lines = 464;
    h.dataLength = 5568 * 464 * 10 / 8;
    h.cfac = h.lfac = -40927014;
    h.coff = 3712;
    h.loff = 5566 - 464 * (number - 1);
    std::strcpy(h.projectionName, "GEOS(+009.5)");
    std::strcpy(h.channel, "HRV");
    std::strcpy(h.disseminationId, "MSG3");
    h.channelCode = 12;
    const uint32_t id[7] = {323, 12, static_cast<uint32_t>(number), 16, 24, 0, 0};
    std::copy(id, id + 7, h.segmentId);
    return segment;
}

// As the reference reader counts, a segment's lines are counted from the
// planned start: with the lower window's northernmost line at 700, segment
// 17 (lines 465 to 928 of the plan) splits after its 235th line.
TEST(ProductFrame, RapidScanHrvWindowsCountLinesFromThePlannedStart) {
    const HrvCoverage coverage{.lowerNorthLine = 700, .lowerEastColumn = 101, .upperEastColumn = 7};
    std::vector<std::string> warnings;
    const ProductFrame frame =
        FrameProduct({RapidScanHrvSegment(16), RapidScanHrvSegment(17), RapidScanHrvSegment(18)},
                     &coverage, warnings);
    EXPECT_EQ(warnings, std::vector<std::string>());
    EXPECT_EQ(frame.hrvPlacement, HrvPlacement::Epilogue);
    EXPECT_EQ(frame.firstNumber, 16);
    EXPECT_EQ(frame.navigation.lines, 9u * 464);
    EXPECT_EQ(frame.navigation.columns, 11136u);
    EXPECT_EQ(frame.navigation.coff, 5566);
    EXPECT_EQ(frame.navigation.loff, 5566 - 464 * 15);
    ASSERT_EQ(frame.places.size(), 3u);
    EXPECT_THAT(frame.places[0].runs, ::testing::ElementsAre(ColumnRun{0, 464, 100}));
    EXPECT_THAT(frame.places[1].runs,
                ::testing::ElementsAre(ColumnRun{0, 235, 100}, ColumnRun{235, 229, 6}));
    EXPECT_THAT(frame.places[2].runs, ::testing::ElementsAre(ColumnRun{0, 464, 6}));
}

}  // namespace
}  // namespace segweld::geo
