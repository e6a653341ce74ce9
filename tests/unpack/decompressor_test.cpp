#include "unpack/decompressor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/bytes.h"
#include "tests/support/product_files.h"

namespace segweld::unpack {
namespace {

using test::Bytes;
using test::Compress;
using test::Concat;
using ::testing::HasSubstr;
using Ending = Decompressor::Ending;

// Decompresses `file` handed over in pieces of 777 bytes, read in pieces of
// 1000, so that stream ends and refills fall anywhere.
std::tuple<Bytes, Ending, std::string> Decompress(Compression compression, const Bytes& file) {
    size_t at = 0;
    Decompressor decompressor(compression, [&](std::span<uint8_t> into) {
        const size_t count = std::min({into.size(), file.size() - at, size_t{777}});
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), count, into.begin());
        at += count;
        return count;
    });
    Bytes content, piece(1000);
    while (const size_t got = decompressor.Read(piece)) {
        content.insert(content.end(), piece.begin(), piece.begin() + static_cast<int>(got));
    }
    return {content, decompressor.ending(), decompressor.fault()};
}

TEST(DecompressorTest, ReadsOneOrMoreStreamsToTheirEndAndNamesWhatEndsThemEarly) {
    Bytes content(200000);
    for (size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<uint8_t>((i / 97) ^ (i % 13));  // compressible, never repeating
    }
    const Bytes front(content.begin(), content.begin() + 70001),
        back(content.begin() + 70001, content.end());
    for (const Compression compression : kCompressions) {
        SCOPED_TRACE(NameOf(compression));
        const Bytes whole = Compress(content, compression);
        Bytes flipped = whole;
        flipped[whole.size() / 2] ^= 0x55;
        const std::tuple<const char*, Bytes, Ending, const char*> rows[] = {
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
        for (const auto& [label, file, ending, fault] : rows) {
            SCOPED_TRACE(label);
            const auto [got, gotEnding, gotFault] = Decompress(compression, file);
            EXPECT_EQ(gotEnding, ending);
            EXPECT_EQ(gotFault.empty(), ending == Ending::Complete);
            EXPECT_THAT(gotFault, HasSubstr(fault));
            if (ending != Ending::Corrupt) {  // what came out is sound: all, or a beginning
                const size_t sound = ending == Ending::Complete ? content.size() : got.size();
                EXPECT_EQ(got, Bytes(content.begin(), content.begin() + static_cast<int>(sound)));
            }
        }
    }
}

}  // namespace
}  // namespace segweld::unpack
