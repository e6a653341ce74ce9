#include "hrit/header_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "hrit/memory_stream.h"
#include "tests/support/header_builder.h"

namespace segweld {
namespace {

using test::HeaderBuilder;

std::vector<uint8_t> WithData(std::vector<uint8_t> header, std::vector<uint8_t> data) {
    header.insert(header.end(), data.begin(), data.end());
    return header;
}

std::vector<uint8_t> HeaderWithTotal(uint32_t total) {
    auto bytes = HeaderBuilder().Primary(0, 800).TotalHeaderLength(total).Build();
    bytes.resize(std::max<size_t>(bytes.size(), std::min<uint32_t>(total, 10001)) + 100, 0);
    return bytes;
}

TEST(HeaderReader, RealSegmentIsAcceptedAndLeavesTheStreamAtItsData) {
    test::SegmentShape shape;
    shape.annotation = test::kWorkedExample;
    shape.compressionFlag = 1;
    const auto file = WithData(test::RealSegmentHeader(shape), {0xFF, 0x01, 0x42});
    MemoryInputStream stream(file.data(), file.size());
    CHritHeaderReader reader;

    EXPECT_EQ(reader.ReadHeader(stream), 6198u);
    EXPECT_EQ(reader.headerLength(), 6198u);
    EXPECT_EQ(stream.tellg(), 6198);
    EXPECT_TRUE(stream.good());
    const HritHeader& h = reader.header();
    EXPECT_EQ(h.hdrType, 129u) << "the last record walked";
    EXPECT_EQ(h.recLength, 6035u);
    EXPECT_EQ(h.dataLength, 2152960u);
    EXPECT_EQ(h.columns * h.lines * h.bitsPerPixel, 3712u * 464 * 10);
    EXPECT_STREQ(h.projectionName, "GEOS(+000.0)");
    EXPECT_EQ(h.hemisphere, 's');
    EXPECT_EQ(h.compressionKind, 'w');
    EXPECT_EQ(h.compressionFlag, 1u);
    EXPECT_EQ(h.channelCode, 9);
    EXPECT_STREQ(h.shortName, "200706151200H901");
    EXPECT_EQ(std::vector<uint32_t>(h.segmentId, h.segmentId + 7),
              (std::vector<uint32_t>{321, 9, 1, 1, 8, 3, 0}))
        << "MSG layout, chosen by the annotation decoded before it";
}

TEST(HeaderReader, PrologueHeaderIsNotProbedForCompression) {
    const std::string annotation = "H-000-MSG1__-MSG1________-_________-PRO______-200706151200-__";
    const auto file = WithData(test::RealPrologueHeader(annotation, 128, 8 * 4), {0xFF, 0x01});
    ASSERT_EQ(file.size(), 92u);
    MemoryInputStream stream(file.data(), file.size());
    CHritHeaderReader reader;
    EXPECT_EQ(reader.ReadHeader(stream), 90u);
    EXPECT_EQ(reader.header().compressionKind, 0);
    EXPECT_EQ(reader.header().segmentKind, 'P');
    EXPECT_EQ(reader.header().channelCode, 0);
    EXPECT_EQ(stream.tellg(), 90);
}

TEST(HeaderReader, ProbeChecksTypeLengthAndTotalLimits) {
    auto wrongType = HeaderBuilder().Primary(0, 800).Build();
    wrongType[0] = 1;
    auto wrongLength = HeaderBuilder().Primary(0, 800).Build();
    wrongLength[2] = 17;
    const std::pair<std::vector<uint8_t>, uint32_t> cases[] = {
        {HeaderWithTotal(10), 10},
        {HeaderWithTotal(16), 16},
        {HeaderWithTotal(10000), 10000},
        {HeaderWithTotal(0), 0},
        {HeaderWithTotal(9), 0},
        {HeaderWithTotal(10001), 0},
        {HeaderWithTotal(0x80000000u), 0},
        {HeaderWithTotal(0xFFFFFFFFu), 0},
        {wrongType, 0},
        {wrongLength, 0},
    };
    for (const auto& [file, accepted] : cases) {
        MemoryInputStream stream(file.data(), file.size());
        EXPECT_EQ(CHritHeaderReader().ReadHeader(stream), accepted);
        EXPECT_EQ(stream.tellg(), std::streamoff(accepted)) << "a refused probe stays put";
    }
}
TEST(HeaderReader, HeaderShorterThanItsPrimaryRecordDecodesNothing) {
    const auto file = HeaderWithTotal(12);
    MemoryInputStream stream(file.data(), file.size());
    CHritHeaderReader reader;
    EXPECT_EQ(reader.ReadHeader(stream), 12u);
    const HritHeader& h = reader.header();
    EXPECT_EQ(h.hdrType, 0u);
    EXPECT_EQ(h.recLength, 16u);
    EXPECT_EQ(h.dataLength, 0u);
    EXPECT_EQ(h.channelCode, -1);
    EXPECT_EQ(h.compressionKind, '?') << "bytes 12 and 13 of the primary record were probed";
    EXPECT_EQ(stream.tellg(), 12);
}

TEST(HeaderReader, PrimaryRecordAloneIsAccepted) {
    const auto file = WithData(HeaderBuilder().Primary(0, 800).Build(), {0xFF, 0xD8});
    MemoryInputStream stream(file.data(), file.size());
    CHritHeaderReader reader;
    EXPECT_EQ(reader.ReadHeader(stream), 16u);
    HritHeader expected{};
    expected.recLength = 16;
    expected.totalHeaderLength = 16;
    expected.dataFieldLengthLow = 800;
    expected.dataLength = 100;
    expected.compressionKind = 'j';
    expected.channelCode = -1;
    EXPECT_EQ(std::memcmp(&reader.header(), &expected, sizeof expected), 0);
}

TEST(HeaderReader, CompressionProbeOfImageData) {
    const std::pair<std::vector<uint8_t>, char> cases[] = {
        {{0xFF, 0x01}, 'w'}, {{0xFF, 0xD8}, 'j'}, {{0xFF, 0x00}, '?'},
        {{0x00, 0xD8}, '?'}, {{0xFF}, '?'},       {{}, '?'},
    };
    for (const auto& [data, kind] : cases) {
        const auto file = WithData(HeaderBuilder().Primary(0, 16).Build(), data);
        MemoryInputStream stream(file.data(), file.size());
        CHritHeaderReader reader;
        EXPECT_EQ(reader.ReadHeader(stream), 16u);
        EXPECT_EQ(reader.header().compressionKind, kind);
        EXPECT_TRUE(stream.good()) << "a short data field leaves the stream usable";
        EXPECT_EQ(stream.tellg(), 16);
    }
}

TEST(HeaderReader, RefusalKeepsThePreviousHeader) {
    const auto good = WithData(test::RealSegmentHeader(), {1, 2});
    const auto bad = HeaderWithTotal(10001);
    CHritHeaderReader reader;
    MemoryInputStream first(good.data(), good.size());
    ASSERT_EQ(reader.ReadHeader(first), 6198u);
    const HritHeader before = reader.header();
    MemoryInputStream second(bad.data(), bad.size());
    EXPECT_EQ(reader.ReadHeader(second), 0u);
    EXPECT_EQ(reader.headerLength(), 6198u);
    EXPECT_EQ(std::memcmp(&reader.header(), &before, sizeof before), 0);
}

// Every prefix of a real segment file: a clean refusal before the header is
// complete, acceptance from there on, and never a byte read beyond the prefix
// (the sanitizer build checks the last part).
TEST(HeaderReader, TruncatedAtEveryLength) {
    const auto file = WithData(test::RealSegmentHeader(), {0xFF, 0x01});
    CHritHeaderReader reader;
    for (size_t length = 0; length <= file.size(); ++length) {
        const std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<long>(length));
        MemoryInputStream stream(prefix.data(), prefix.size());
        const uint32_t result = reader.ReadHeader(stream);
        if (length < 6198) {
            ASSERT_EQ(result, 0u) << length;
            ASSERT_EQ(stream.tellg(), 0) << length;
        } else {
            ASSERT_EQ(result, 6198u) << length;
            ASSERT_EQ(reader.header().compressionKind, length == file.size() ? 'w' : '?');
        }
    }
}

TEST(HeaderReader, NonSeekableStreamIsRefused) {
    const auto file = test::RealSegmentHeader();
    struct NoSeek : std::streambuf {
        explicit NoSeek(const std::vector<uint8_t>& bytes) {
            char* begin = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
            setg(begin, begin, begin + bytes.size());
        }
    } noSeek(file);
    std::istream stream(&noSeek);
    EXPECT_EQ(CHritHeaderReader().ReadHeader(stream), 0u);
}

}  // namespace
}  // namespace segweld
