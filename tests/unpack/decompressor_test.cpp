#include "unpack/decompressor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/bytes.h"
#include "tests/support/compressed_files.h"

namespace segweld::unpack {
namespace {

using test::Bytes;
using test::Compress;
using test::Concat;
using ::testing::HasSubstr;
using Ending = Decompressor::Ending;

// Bytes that compress, yet differ along their length.
Bytes Content(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>((i / 97) ^ (i % 13));
    }
    return bytes;
}

struct Outcome {
    Bytes content;
    Ending ending;
    std::string fault;
};

// Decompresses `file` handed over in pieces of 777 bytes, read in pieces of
// 1000, so that stream ends and refills fall anywhere.
Outcome Decompress(Compression compression, const Bytes& file) {
    size_t at = 0;
    Decompressor decompressor(compression, [&](std::span<uint8_t> into) {
        const size_t count = std::min({into.size(), file.size() - at, size_t{777}});
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), count, into.begin());
        at += count;
        return count;
    });
    Outcome outcome;
    Bytes piece(1000);
    while (const size_t got = decompressor.Read(piece)) {
        outcome.content.insert(outcome.content.end(), piece.begin(), piece.begin() + got);
    }
    outcome.ending = decompressor.ending();
    outcome.fault = decompressor.fault();
    return outcome;
}

bool IsPrefix(const Bytes& part, const Bytes& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

TEST(DecompressorTest, ReadsOneOrMoreStreamsToTheirEndAndNamesWhatEndsThemEarly) {
    const Bytes content = Content(200000);
    const Bytes front(content.begin(), content.begin() + 70001);
    const Bytes back(content.begin() + 70001, content.end());
    for (const Compression compression : kCompressions) {
        SCOPED_TRACE(NameOf(compression));
        const Bytes whole = Compress(content, compression);
        Bytes flipped = whole;
        flipped[whole.size() / 2] ^= 0x55;
        const struct {
            const char* label;
            Bytes file;
            Ending ending;
            const char* fault;
        } rows[] = {
            {"one stream", whole, Ending::Complete, ""},
            {"two streams back to back",
             Concat({Compress(front, compression), Compress(back, compression)}), Ending::Complete,
             ""},
            {"cut short", Bytes(whole.begin(), whole.end() - 9), Ending::Truncated, "ends early"},
            {"empty", {}, Ending::Truncated, "the file is empty"},
            {"a byte changed", flipped, Ending::Corrupt, "data are corrupt: "},
            {"bytes after the stream", Concat({whole, Bytes(16, 'x')}), Ending::Corrupt,
             "data are corrupt: "},
            {"never compressed", content, Ending::Corrupt, "data are corrupt: "},
        };
        for (const auto& row : rows) {
            SCOPED_TRACE(row.label);
            const Outcome outcome = Decompress(compression, row.file);
            EXPECT_EQ(outcome.ending, row.ending);
            if (row.ending == Ending::Complete) {
                EXPECT_EQ(outcome.content, content);
                EXPECT_EQ(outcome.fault, "");
            } else {
                EXPECT_THAT(outcome.fault, HasSubstr(row.fault));
            }
            if (row.ending == Ending::Truncated) {
                EXPECT_TRUE(IsPrefix(outcome.content, content)) << "what came out is sound";
            }
        }
    }
}

}  // namespace
}  // namespace segweld::unpack
