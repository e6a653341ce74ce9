// The relay that takes standard error to the console on Windows: whatever
// pieces the C library writes, the console is never handed half a character.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>

#include "os/win32_stream_relay.h"

namespace segweld::os {
namespace {

struct PrefixRow {
    std::string_view text;
    size_t whole;
};

const PrefixRow kPrefixRows[] = {
    {"", 0},         {"plain", 5},         {"M\xc3\xa4rz", 5},   {"M\xc3", 1},
    {"\xe2\x80", 0}, {"x\xe2\x80\xa6", 4}, {"x\xf0\x9f\x98", 1}, {"x\xf0\x9f\x98\x80", 5},
    {"\x80\x80", 2},  // not UTF-8 at all: passed on as it is
};

TEST(WholeUtf8PrefixTest, NeverEndsWithinACharacter) {
    for (const auto& [text, whole] : kPrefixRows) {
        EXPECT_EQ(WholeUtf8Prefix(text), whole) << text;
    }
}

// The C library of Windows writes an unbuffered stream byte by byte; the
// sink still gets whole characters, and every byte, in order.
TEST(StreamRelayTest, HandsOnWholeCharactersOfWhatIsWrittenInPieces) {
    std::mutex mutex;
    std::vector<std::string> pieces;
    auto relay = StreamRelay::Start(
        {2},
        [&](std::string_view piece) {
            std::lock_guard lock(mutex);
            pieces.emplace_back(piece);
        },
        false);
    ASSERT_NE(relay, nullptr);
    const std::string line = "Wetter M\xc3\xa4rz\\Ausgabe \xc3\xb6 \xf0\x9f\x98\x80\n";
    for (int i = 0; i < 50; ++i) {
        for (const char c : line) {
            std::fputc(c, stderr);
        }
    }
    ASSERT_TRUE(relay->Finish(5000));
    std::string all;
    for (const std::string& piece : pieces) {
        EXPECT_EQ(WholeUtf8Prefix(piece), piece.size());
        all += piece;
    }
    std::string expected;
    for (int i = 0; i < 50; ++i) {
        expected += line.substr(0, line.size() - 1) + "\r\n";  // the descriptor is in text mode
    }
    EXPECT_EQ(all, expected);
}

}  // namespace
}  // namespace segweld::os
