// Products whose segment files are stored compressed whole, some or all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "join/join_segments.h"
#include "tests/support/bytes.h"
#include "tests/support/compressed_files.h"
#include "tests/support/product_files.h"

namespace segweld {
namespace {

using test::Bytes;
using test::Compress;
using test::CompressFile;
using test::Concat;
using test::DistinctData;
using test::ReadFile;
using test::SmallSegment;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using unpack::Compression;

constexpr Compression kPlain = Compression::None, kBzip2 = Compression::Bzip2,
                      kGzip = Compression::Gzip, kXz = Compression::Xz;

class CompressedJoinTest : public ::testing::Test, protected test::ProductFolders {
  protected:
    // Segments 1 to forms.size(), segment n stored as forms[n - 1] says;
    // returns their data fields joined.
    Bytes WriteStored(const std::vector<Compression>& forms, size_t size = 1000) {
        Bytes all;
        for (size_t i = 0; i < forms.size(); ++i) {
            const int number = static_cast<int>(i) + 1;
            WriteSegment(number, DistinctData(number, size));
            CompressFile(Path(number), forms[i]);
            all = Concat({all, DistinctData(number, size)});
        }
        return all;
    }
    std::string Stored(int number, Compression form) const {
        return Path(number) + std::string(unpack::SuffixOf(form));
    }
    JoinReport Join(const std::string& path, bool fillGaps = false) {
        return JoinSegments(path, output.path().string(), {.fillGaps = fillGaps, .progress = {}});
    }
};

// Whichever file the join is started from, the output is named and made as
// if every segment were stored plain.
TEST_F(CompressedJoinTest, CompressedSegmentsJoinAsTheirPlainFilesWouldMixedOrNot) {
    const struct {
        const char* label;
        std::vector<Compression> forms;
        int given;
    } rows[] = {
        {"all bzip2", std::vector<Compression>(8, kBzip2), 1},
        {"mixed", {kPlain, kGzip, kXz, kBzip2, kPlain, kBzip2, kGzip, kXz}, 3},
        {"all xz, from the last", std::vector<Compression>(8, kXz), 8},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const Bytes expected = WriteStored(row.forms, 200000);
        const JoinReport report = Join(Stored(row.given, row.forms[row.given - 1]));
        ASSERT_TRUE(report.written()) << report.FailureText();
        EXPECT_EQ(report.outputPath, OutputPath(row.given, ".segm"));
        EXPECT_EQ(ReadFile(report.outputPath), expected);
        EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
        for (const SegmentOutcome& segment : report.segments) {
            EXPECT_EQ(segment.path, Stored(segment.number, row.forms[segment.number - 1]));
        }
        std::filesystem::remove_all(os::PathOf(inputFolder));
        std::filesystem::create_directory(os::PathOf(inputFolder));
        std::filesystem::remove(os::PathOf(report.outputPath));
    }
}

TEST_F(CompressedJoinTest, FillGapsAndThePlainNameWinOverACompressedTwin) {
    WriteStored({kBzip2, kPlain, kGzip});
    test::WriteFile(Stored(2, kXz), Compress(SmallSegment(2, DistinctData(9)), kXz));
    const JoinReport filled = Join(Stored(3, kGzip), true);
    ASSERT_TRUE(filled.written()) << filled.FailureText();
    EXPECT_EQ(filled.outputPath, OutputPath(1, ".segm")) << "named after the plan's first";
    EXPECT_EQ(filled.segments[1].path, Path(2)) << "the plain file before its compressed twin";
    EXPECT_THAT(filled.filled, ElementsAre(4, 5, 6, 7, 8));
    EXPECT_EQ(ReadFile(filled.outputPath),
              Concat({DistinctData(1), DistinctData(2), DistinctData(3), Bytes(5000)}));
}

// A damaged segment 2 between two sound ones: refused where its header
// cannot be read, else joined with what it decompressed to and named damaged.
TEST_F(CompressedJoinTest, DamagedStreamsAreDamagedSegmentsNamedWithTheirReason) {
    const Bytes segment = SmallSegment(2, DistinctData(2, 60000));
    const Bytes xz = Compress(segment, kXz), bzip2 = Compress(segment, kBzip2);
    Bytes badCheck = Compress(segment, kGzip);
    badCheck[badCheck.size() - 8] ^= 1;  // the CRC-32 of the gzip trailer
    const struct {
        const char* label;
        Compression form;
        Bytes file;
        SegmentStatus status;
        bool damaged;
        const char* warning;
    } rows[] = {
        {"cut inside its data", kXz, Bytes(xz.begin(), xz.begin() + xz.size() * 3 / 4),
         SegmentStatus::Accepted, true, "(its xz stream ends early); zeros stand for the missing"},
        {"cut inside its header", kBzip2, Bytes(bzip2.begin(), bzip2.begin() + 100),
         SegmentStatus::HeaderRefused, false, "header refused: its bzip2 stream ends early"},
        {"a failing check", kGzip, badCheck, SegmentStatus::Accepted, true,
         "is damaged: its gzip data are corrupt: incorrect data check"},
        {"no segment inside", kGzip, Compress({'t', 'e', 'x', 't'}, kGzip),
         SegmentStatus::HeaderRefused, false, "header refused: the file is shorter than"},
        {"not compressed at all", kBzip2, segment, SegmentStatus::HeaderRefused, false,
         "header refused: its bzip2 data are corrupt: no bzip2 stream begins here"},
        {"a bomb", kBzip2, Compress(Concat({segment, Bytes(20'000'000)}), kBzip2),
         SegmentStatus::Accepted, true, "decompresses to more than the"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        WriteStored({kBzip2, kPlain, kXz}, 60000);
        std::filesystem::remove(os::PathOf(Path(2)));
        test::WriteFile(Stored(2, row.form), row.file);
        const JoinReport report = Join(Stored(1, kBzip2));
        ASSERT_TRUE(report.written()) << report.FailureText();
        const SegmentOutcome& damaged = report.segments.at(1);
        EXPECT_EQ(damaged.status, row.status);
        EXPECT_EQ(damaged.damaged(), row.damaged);
        ASSERT_FALSE(report.warnings.empty());
        EXPECT_THAT(report.warnings[0], HasSubstr(Stored(2, row.form)));
        EXPECT_THAT(report.warnings[0], HasSubstr(row.warning));
        const Bytes joined = ReadFile(report.outputPath);
        const Bytes ends = Concat({DistinctData(1, 60000), DistinctData(3, 60000)});
        ASSERT_EQ(joined.size(), ends.size() + (row.status == SegmentStatus::Accepted ? 60000 : 0));
        EXPECT_TRUE(std::equal(joined.begin(), joined.begin() + 60000, ends.begin()));
        EXPECT_TRUE(std::equal(joined.end() - 60000, joined.end(), ends.begin() + 60000));
        EXPECT_THAT(test::ListFolder(output.path()), ElementsAre(OutputName(1, ".segm")));
        std::filesystem::remove_all(os::PathOf(inputFolder));
        std::filesystem::create_directory(os::PathOf(inputFolder));
        std::filesystem::remove(os::PathOf(report.outputPath));
    }
}

}  // namespace
}  // namespace segweld
