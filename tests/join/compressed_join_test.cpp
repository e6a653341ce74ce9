// Products whose segment files are stored compressed whole, some or all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "join/join_segments.h"
#include "tests/support/bytes.h"
#include "tests/support/product_files.h"

namespace segweld {
namespace {

using namespace test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using unpack::Compression;
constexpr Compression kPlain = Compression::None, kBzip2 = Compression::Bzip2,
                      kGzip = Compression::Gzip, kXz = Compression::Xz;

class CompressedJoinTest : public ::testing::Test, protected ProductFolders {
  protected:
    // Segments 1 to 8 of `size` data bytes, segment n stored as forms[n - 1].
    Bytes WriteStored(const std::vector<Compression>& forms, size_t size) {
        std::filesystem::remove_all(os::PathOf(inputFolder));
        std::filesystem::create_directory(os::PathOf(inputFolder));
        const Bytes all = WriteSeries(1, 8, size);
        for (int n = 1; n <= 8; ++n)
            CompressFile(Path(n), forms[n - 1]);
        return all;
    }
    std::string Stored(int number, Compression form) const {
        return Path(number) + std::string(unpack::SuffixOf(form));
    }
    JoinReport Join(const std::string& path, bool fillGaps = false) {
        std::filesystem::remove_all(output.path());
        std::filesystem::create_directory(output.path());
        return JoinSegments(path, output.path().string(), {.fillGaps = fillGaps, .progress = {}});
    }
};

// Whichever file the join starts from, the output is named and made as if
// every segment were stored plain; with a gap filled, the plan's first
// segment names it; a plain file is taken before its compressed twin.
TEST_F(CompressedJoinTest, CompressedSegmentsJoinAsTheirPlainFilesWouldMixedOrNot) {
    const std::tuple<std::vector<Compression>, int> rows[] = {
        {std::vector<Compression>(8, kBzip2), 1},
        {{kPlain, kGzip, kXz, kBzip2, kPlain, kBzip2, kGzip, kXz}, 3},
        {std::vector<Compression>(8, kXz), 8},
    };
    for (const auto& [forms, given] : rows) {
        const Bytes expected = WriteStored(forms, 200000);
        const JoinReport report = Join(Stored(given, forms[given - 1]));
        EXPECT_EQ(report.outputPath, OutputPath(given, ".segm"));
        EXPECT_EQ(ReadFile(report.outputPath), expected);
        EXPECT_THAT(report.warnings, ElementsAre());
        for (const SegmentOutcome& segment : report.segments)
            EXPECT_EQ(segment.path, Stored(segment.number, forms[segment.number - 1]));
    }
    Bytes expected = WriteStored(std::vector<Compression>(8, kGzip), 1000);
    std::fill_n(expected.begin() + 4000, 1000, 0);
    std::filesystem::remove(os::PathOf(Stored(5, kGzip)));
    WriteFile(Stored(2, kXz), Compress(SmallSegment(2, DistinctData(9)), kXz));
    WriteSegment(2, DistinctData(2));
    const JoinReport filled = Join(Stored(3, kGzip), true);
    EXPECT_EQ(filled.outputPath, OutputPath(1, ".segm"));
    EXPECT_THAT(filled.filled, ElementsAre(5));
    EXPECT_EQ(filled.segments[1].path, Path(2));
    EXPECT_EQ(ReadFile(filled.outputPath), expected);
}

// A damaged segment 2 between sound ones: refused where its header cannot be
// read, else joined with what it decompressed to and damaged.
TEST_F(CompressedJoinTest, DamagedStreamsAreDamagedSegmentsNamedWithTheirReason) {
    const Bytes segment = SmallSegment(2, DistinctData(2, 60000));
    const Bytes xz = Compress(segment, kXz), bzip2 = Compress(segment, kBzip2);
    Bytes badCheck = Compress(segment, kGzip);
    badCheck[badCheck.size() - 8] ^= 1;  // the CRC-32 of the gzip trailer
    const std::tuple<Compression, Bytes, bool, const char*> rows[] = {
        {kXz, Bytes(xz.begin(), xz.begin() + xz.size() * 3 / 4), true,
         "(its xz stream ends early); zeros stand for the missing"},
        {kBzip2, Bytes(bzip2.begin(), bzip2.begin() + 100), false,
         "skipped: header refused: its bzip2 stream ends early"},
        {kGzip, badCheck, true, "is damaged: its gzip data are corrupt: incorrect data check"},
        {kGzip, Compress({'t', 'e', 'x', 't'}, kGzip), false,
         "header refused: the file is shorter"},
        {kBzip2, segment, false, "header refused: its bzip2 data are corrupt: no bzip2 stream"},
        {kBzip2, Compress(Concat({segment, Bytes(20'000'000)}), kBzip2), true,
         "is damaged: it decompresses to more than the"},
    };
    for (const auto& [form, file, joined, warning] : rows) {
        SCOPED_TRACE(warning);
        const Bytes sound =
            WriteStored({kBzip2, kPlain, kXz, kPlain, kPlain, kPlain, kPlain, kPlain}, 60000);
        std::filesystem::remove(os::PathOf(Path(2)));
        WriteFile(Stored(2, form), file);
        const JoinReport report = Join(Stored(1, kBzip2));
        EXPECT_EQ(report.segments.at(1).status == SegmentStatus::Accepted, joined);
        EXPECT_EQ(report.segments.at(1).damaged(), joined);
        EXPECT_THAT(report.warnings.at(0), HasSubstr(Stored(2, form) + " "));
        EXPECT_THAT(report.warnings.at(0), HasSubstr(warning));
        Bytes bytes = ReadFile(report.outputPath);
        ASSERT_EQ(bytes.size(), sound.size() - (joined ? 0 : 60000));
        bytes.erase(bytes.begin() + 60000, bytes.begin() + (joined ? 120000 : 60000));
        EXPECT_EQ(bytes, Concat({Bytes(sound.begin(), sound.begin() + 60000),
                                 Bytes(sound.begin() + 120000, sound.end())}));
        EXPECT_THAT(ListFolder(output.path()), ElementsAre(OutputName(1, ".segm")));
    }
}

}  // namespace
}  // namespace segweld
