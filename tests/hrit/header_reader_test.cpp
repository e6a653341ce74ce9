#include "hrit/header_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "hrit/memory_stream.h"
#include "tests/hrit/header_fields.h"
#include "tests/support/bytes.h"
#include "tests/support/header_builder.h"

namespace segweld {
namespace {

using test::Bytes;
using test::Concat;
using test::HeaderBuilder;

Bytes HeaderWithTotal(uint32_t total) {
    auto bytes = HeaderBuilder().Primary(0, 800).TotalHeaderLength(total).Build();
    bytes.resize(std::max<size_t>(bytes.size(), std::min<uint32_t>(total, 10001)) + 100, 0);
    return bytes;
}

Bytes PrimaryWith(const Bytes& data) {
    return Concat({HeaderBuilder().Primary(0, 16).Build(), data});
}

// Accepted headers leave the stream at their data; a refused probe stays put.
TEST(HeaderReader, AcceptsOrRefusesAndLeavesTheStreamAtTheData) {
    struct Row {
        const char* label;
        Bytes file;
        uint32_t accepted;
        std::string fields = "";
    };
    // A primary record's body: file type 0, total header length 16, 800 data bits.
    const Bytes primaryBody = {0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 3, 32};
    const Row rows[] = {
        {"real segment",
         Concat(
             {test::RealSegmentHeader({.annotation = test::kWorkedExample, .compressionFlag = 1}),
              {0xFF, 0x01, 0x42}}),
         6198,
         "hdrType=129;recLength=6035;dataLength=2152960;columns=3712;lines=464;bitsPerPixel=10;"
         "projectionName=GEOS(+000.0);hemisphere=115;compressionKind=w;compressionFlag=1;"
         "channelCode=9;shortName=200706151200H901;segmentId=321 9 1 1 8 3 0"},
        // Not probed for compression.
        {"prologue",
         Concat({test::RealPrologueHeader(
                     "H-000-MSG1__-MSG1________-_________-PRO______-200706151200-__", 128, 32),
                 {0xFF, 0x01}}),
         90, "compressionKind=;segmentKind=P;channelCode=0"},
        // Bytes 12 and 13 of the primary record are probed.
        {"shorter than its primary record", HeaderWithTotal(12), 12,
         "hdrType=0;recLength=16;dataLength=0;channelCode=-1;compressionKind=?"},
        {"total 10", HeaderWithTotal(10), 10},
        {"total 10000", HeaderWithTotal(10000), 10000},
        {"total 9", HeaderWithTotal(9), 0},
        {"total 10001", HeaderWithTotal(10001), 0},
        {"total 2^31", HeaderWithTotal(0x80000000u), 0},
        {"total 2^32-1", HeaderWithTotal(0xFFFFFFFFu), 0},
        {"wrong type", HeaderBuilder().RecordWithLength(1, 16, primaryBody).Build(), 0},
        {"wrong length", HeaderBuilder().RecordWithLength(0, 17, primaryBody).Build(), 0},
        {"wavelet data", PrimaryWith({0xFF, 0x01}), 16, "compressionKind=w"},
        {"JPEG data", PrimaryWith({0xFF, 0xD8}), 16, "compressionKind=j"},
        {"other data", PrimaryWith({0xFF, 0x00}), 16, "compressionKind=?"},
        {"other data 2", PrimaryWith({0x00, 0xD8}), 16, "compressionKind=?"},
        {"one data byte", PrimaryWith({0xFF}), 16, "compressionKind=?"},
        {"no data", PrimaryWith({}), 16, "compressionKind=?"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        MemoryInputStream stream(row.file.data(), row.file.size());
        CHritHeaderReader reader;
        EXPECT_EQ(reader.ReadHeader(stream), row.accepted);
        EXPECT_EQ(reader.headerLength(), row.accepted);
        EXPECT_EQ(stream.tellg(), std::streamoff(row.accepted));
        EXPECT_TRUE(stream.good()) << "a short data field leaves the stream usable";
        test::ExpectFields(reader.header(), row.fields);
    }
}

TEST(HeaderReader, PrimaryRecordAloneDecodesOnlyItself) {
    const auto file = Concat({HeaderBuilder().Primary(0, 800).Build(), {0xFF, 0xD8}});
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

    const auto bad = HeaderWithTotal(10001);
    MemoryInputStream refused(bad.data(), bad.size());
    EXPECT_EQ(reader.ReadHeader(refused), 0u);
    EXPECT_EQ(reader.headerLength(), 16u) << "a refusal keeps the previous header";
    EXPECT_EQ(std::memcmp(&reader.header(), &expected, sizeof expected), 0);
}

// Every prefix of a real segment file: a clean refusal before the header is
// complete, acceptance from there on, and never a byte read beyond the prefix
// (the sanitizer build checks the last part).
TEST(HeaderReader, TruncatedAtEveryLength) {
    const auto file = Concat({test::RealSegmentHeader(), {0xFF, 0x01}});
    CHritHeaderReader reader;
    for (size_t length = 0; length <= file.size(); ++length) {
        const Bytes prefix(file.begin(), file.begin() + static_cast<long>(length));
        MemoryInputStream stream(prefix.data(), prefix.size());
        const uint32_t result = reader.ReadHeader(stream);
        ASSERT_EQ(result, length < 6198 ? 0u : 6198u) << length;
        if (length < 6198) {
            ASSERT_EQ(stream.tellg(), 0) << length;
        } else {
            ASSERT_EQ(reader.header().compressionKind, length == file.size() ? 'w' : '?');
        }
    }
}

TEST(HeaderReader, NonSeekableStreamIsRefused) {
    const auto file = test::RealSegmentHeader();
    struct NoSeek : std::streambuf {
        explicit NoSeek(const Bytes& bytes) {
            char* begin = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
            setg(begin, begin, begin + bytes.size());
        }
    } noSeek(file);
    std::istream stream(&noSeek);
    EXPECT_EQ(CHritHeaderReader().ReadHeader(stream), 0u);
}

}  // namespace
}  // namespace segweld
