// Hostile files, a failing disk and unusual launchers, through the real
// programs: nothing is lost and nothing is misreported.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/product_files.h"
#include "tests/support/run_program.h"

namespace segweld {
namespace {

using namespace test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

template <typename... Arguments>
std::vector<std::string> Command(const Arguments&... arguments) {
    return {std::string(arguments)...};
}

struct SegmentHeader {
    uint64_t announced = 1000;
    uint16_t columns = 1000;  // 0: no image structure record
    uint16_t lines = 1;
    uint16_t sequence = 0;        // 0: the segment's own number
    std::string annotation = "";  // empty: the MSG file name
    int unexpectedRecords = 0;
    uint8_t compression = 0;
};

std::vector<uint8_t> Segment(int number, const SegmentHeader& shape,
                             const std::vector<uint8_t>& data) {
    HeaderBuilder builder;
    builder.Primary(0, 8 * shape.announced);
    if (shape.columns > 0) {
        builder.ImageStructure(8, shape.columns, shape.lines, shape.compression);
    }
    for (int i = 0; i < shape.unexpectedRecords; ++i) {
        builder.Record(200, {});
    }
    const uint16_t sequence = shape.sequence ? shape.sequence : static_cast<uint16_t>(number);
    auto bytes =
        builder.Annotation(shape.annotation.empty() ? SegmentFileName(number) : shape.annotation)
            .MsgSegmentIdentification(321, 9, sequence, 1, 8, 3)
            .Build();
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

class NothingLostTest : public ::testing::Test, protected ProductFolders {
  protected:
    std::string Output() const { return OutputPath(1, ".segm"); }
    std::vector<uint8_t> WriteShaped(int count, const SegmentHeader& shape = {}) {
        std::vector<uint8_t> all;
        for (int number = 1; number <= count; ++number) {
            const auto data = DistinctData(number, shape.announced);
            WriteFile(Path(number), Segment(number, shape, data));
            all.insert(all.end(), data.begin(), data.end());
        }
        return all;
    }
    ProgramResult Join(const RunOptions& options = {}) {
        return RunProgram(SEGWELD_BIN, {Path(1), out}, options);
    }
    const std::string out = output.path().string();
};

TEST_F(NothingLostTest, EveryFailureAndWarningNamesItsCause) {
    const std::string plain = output / "plain";
    const std::string name = input / std::string(300, 'n');
    const std::string png = output / "p.png";
    const SegmentHeader noisy{.columns = 0, .unexpectedRecords = 2};
    const SegmentHeader huge{.columns = 65535, .lines = 65535};
    const SegmentHeader endless{.announced = 1ull << 33, .columns = 0};
    const SegmentHeader met7{.annotation =
                                 "L-000-MTP___-MET7________-00_7_057E-000001___-200706151200-C_"};
    const SegmentHeader outside{.sequence = 20};
    const auto kErr = &ProgramResult::err;
    const auto kOut = &ProgramResult::out;
    const auto damage = [&] {
        WriteSeries(1, 2), WriteSeries(4, 8), WriteSegment(2, DistinctData(2, 300), 1000);
        mkfifo(Path(3).c_str(), 0644);
    };
    const auto writeJunk = [&] { WriteFile(Path(1), {'j', 'u', 'n', 'k'}); };
    const auto writeEndless = [&] { WriteFile(Path(1), Segment(1, endless, {})); };
    const auto failReads = [](size_t from) {
        return FaultShim({"SEGWELD_TEST_FAIL_READS=-000002___",
                          "SEGWELD_TEST_FAIL_READS_FROM=" + std::to_string(from)});
    };
    const size_t header = SmallSegment(2, {}).size();
    const std::string unreadable = "Cannot read " + Path(2) + ": Input/output error";
    const auto threeSegments = [&] { WriteSeries(1, 3); };
    const auto startingFF = [&](uint8_t second) {
        return [&, second] { WriteSegment(1, {0xFF, second, 0x30}); };
    };
    const char* kJoin = SEGWELD_BIN;
    const char* kInfo = SEGWELD_INFO_BIN;
    const auto join = Command(kJoin, Path(1), out);
    const auto preview = Command(kInfo, "--preview", png, Path(1));
    struct Row {
        const char* label;
        int exitCode;
        std::string ProgramResult::*where;
        std::string said;
        std::function<void()> setUp;
        std::vector<std::string> command;
        std::vector<std::string> environment = {};
    };
    const Row rows[] = {
        {"help", 0, kOut, "Usage: segweld ", [] {}, Command(kJoin, "--help")},
        {"version", 0, kOut, "segweld 1.", [] {}, Command(kJoin, "--version")},
        {"info help", 0, kOut, "Usage: segweld-info [--json] FILE...\n", [] {},
         Command(kInfo, "-h")},
        {"info --help", 0, kOut, "--preview OUT.png FILE", [] {},
         Command(kInfo, "--json", "--help")},
        {"no plan outside the MSG layout", 0, kErr, "", [&] { WriteShaped(2, met7); }, join},
        {"no plan from a number outside it", 0, kErr, "", [&] { WriteShaped(2, outside); }, join},
        {"first segment missing", 1, kErr, Path(1) + " does not exist", [&] { WriteSeries(2, 2); },
         Command(kJoin, Path(2), out)},
        {"header refused", 1, kErr,
         "header refused: the file is shorter than a primary header record (16 bytes)\nsegweld: "
         "Nothing joined",
         writeJunk, join},
        {"files beyond a missing first segment", 1, kErr,
         "no file exists for segment 1, so the walk ended there; segment files beyond it were not "
         "joined: 2, 4-5\n",
         [&] { WriteSeries(2, 2), WriteSeries(4, 5); }, Command(kJoin, Path(2), out)},
        {"files beyond a gap", 0, kErr,
         "segweld: warning: only 2 of the 8 planned segments (1 to 8) were joined; not joined: "
         "3-8\nsegweld: warning: no file exists for segment 3, so the walk ended there; segment "
         "files beyond it were not joined: 4-5\n",
         [&] { WriteSeries(1, 2), WriteSeries(4, 5); }, join},
        {"damaged segments", 0, kErr,
         "segweld: warning: segment " + Path(2) +
             " holds 300 of its 1000 data bytes; zeros stand for the missing 700\nsegweld: "
             "warning: segment " +
             Path(3) +
             " skipped: not a regular file\nsegweld: warning: only 7 of the 8 planned segments (1 "
             "to 8) were joined; not joined: 3\n",
         damage, join},
        {"output folder is a file", 2, kErr,
         "Check output folder: The output folder " + plain + " is a file, not a folder.\n",
         [&] { WriteSeries(1, 2), WriteFile(plain, {'x'}); }, Command(kJoin, Path(1), plain)},
        {"output name taken by a folder", 1, kErr,
         "Cannot create the output file " + OutputPath(1, ".segm") + ": Is a directory",
         [&] { WriteSeries(1, 2), std::filesystem::create_directory(Output()); }, join},
        {"dangling link", 0, kErr, "symbolic link whose target does not exist",
         [&] { WriteSeries(1, 2), std::filesystem::create_symlink("nowhere", Path(3)); }, join},
        {"loop of links", 0, kErr, "loop of symbolic links",
         [&] { WriteSeries(1, 2), std::filesystem::create_symlink(Path(3), Path(3)); }, join},
        {"unexpected record types", 0, kOut, "Unexpected hdrtype=200\nUnexpected hdrtype=200\n",
         [&] { WriteShaped(1, noisy); }, join},
        {"preview without segment 1", 1, kErr, "no file exists for segment 1",
         [&] { WriteSeries(2, 3); }, Command(kInfo, "--preview", png, Path(2))},
        {"preview without a whole line", 1, kErr, "smaller than the image structure",
         [&] { WriteShaped(1, huge); }, preview},
        {"preview of compressed data", 1, kErr, "holds compressed data: its compression flag is 1",
         [&] { WriteShaped(1, {.compression = 1}); }, preview},
        {"preview of wavelet data", 1, kErr, "its data field begins FF 01 (wavelet compression)",
         startingFF(0x01), preview},
        {"preview of JPEG data", 1, kErr, "its data field begins FF D8 (JPEG compression)",
         startingFF(0xD8), preview},
        {"preview of junk", 1, kErr, "no segment of the product has an", writeJunk, preview},
        {"preview into a missing folder", 1, kErr, "no preview written: Cannot create the output",
         threeSegments, Command(kInfo, "--preview", out + "/absent/p.png", Path(1))},
        {"too long a name, series", 1, kErr, "cannot be opened: File name too long", [] {},
         Command(kInfo, "--series", name)},
        {"too long a data field, dump", 0, kOut, "8589934592 bytes, too long", writeEndless,
         Command(kInfo, Path(1))},
        {"too long a data field, series", 1, kOut, "data field of 8589934592 bytes is too long",
         writeEndless, Command(kInfo, "--series", Path(1))},
        {"read error in a header", 1, kErr, unreadable, threeSegments, join, failReads(0)},
        {"read error in a data field", 1, kErr, unreadable, threeSegments, join, failReads(header)},
        {"read error, dump", 1, kErr, unreadable, threeSegments, Command(kInfo, Path(2)),
         failReads(0)},
        {"read error, series", 1, kErr, unreadable, threeSegments,
         Command(kInfo, "--series", Path(1)), failReads(0)},
        {"read error, preview", 1, kErr, unreadable, threeSegments, preview, failReads(header)},
    };
    const auto outputFiles = [&] {
        std::map<std::string, std::vector<uint8_t>> files;
        for (const auto& entry : std::filesystem::directory_iterator(output.path())) {
            files[entry.path()] =
                entry.is_regular_file() ? ReadFile(entry.path()) : std::vector<uint8_t>();
        }
        return files;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        for (const std::string& folder : {inputFolder, out}) {
            std::filesystem::remove_all(folder);
            std::filesystem::create_directory(folder);
        }
        WriteFile(png, {'o', 'l', 'd'});
        row.setUp();
        const auto before = outputFiles();
        const ProgramResult result = RunProgram(row.command, {.environment = row.environment});
        EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
        EXPECT_THAT(result.*row.where,
                    row.said.empty() ? ::testing::Matcher<std::string>("") : HasSubstr(row.said));
        EXPECT_TRUE(row.exitCode == 0 || outputFiles() == before) << "a failed run changes nothing";
    }
}

TEST_F(NothingLostTest, ClosedStandardStreamsNeverReachTheOutput) {
    // More "Unexpected hdrtype" lines than a stdio buffer holds.
    const auto expected = WriteShaped(8, {.unexpectedRecords = 60});
    EXPECT_EQ(Join({.closedStandardStreams = true}).exitCode, 0);
    EXPECT_EQ(ReadFile(Output()), expected);
}

TEST_F(NothingLostTest, PreviewNeverOverwritesItsInput) {
    WriteSeries(1, 3);
    const std::string link = output / "link.png";
    ASSERT_EQ(::link(Path(2).c_str(), link.c_str()), 0);
    for (const std::string& target : {Path(1), Path(3), link}) {
        SCOPED_TRACE(target);
        const auto before = ReadFile(target);
        const ProgramResult result = RunProgram(SEGWELD_INFO_BIN, {"--preview", target, Path(1)});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_THAT(result.err, HasSubstr("is the input file"));
        EXPECT_EQ(ReadFile(target), before);
    }
}

TEST_F(NothingLostTest, ZerosStandOnlyForWhatTheImageStructureHolds) {
    const std::tuple<const char*, SegmentHeader, uint64_t, const char*> rows[] = {
        {"announced beyond the image", {.announced = 4000000000}, 32, "implies only 1000"},
        {"no image structure", {.announced = 1ull << 31, .columns = 0}, 32, "no image structure"},
        {"within the image",
         {.announced = 65535 * 16, .columns = 65535, .lines = 16},
         65535 * 16,
         "zeros stand for the missing"},
    };
    for (const auto& [label, shape, outputSize, warning] : rows) {
        SCOPED_TRACE(label);
        WriteFile(Path(1), Segment(1, shape, DistinctData(1, 32)));
        const ProgramResult result = Join({.fileSizeLimit = 1 << 24});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_THAT(result.err, HasSubstr(warning));
        struct stat info {};
        ASSERT_EQ(stat(Output().c_str(), &info), 0);
        EXPECT_EQ(uint64_t(info.st_size), outputSize);
        EXPECT_LT(info.st_blocks * 512, 65536) << "the zeros are holes";
    }
}

TEST_F(NothingLostTest, InterruptsRemoveTheNamedTemporary) {
    WriteSeries(1, 3);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        EXPECT_EQ(
            Join({.environment = FaultShim({"SEGWELD_TEST_NO_UNNAMED_FILES=1",
                                            "SEGWELD_TEST_SIGNAL_COPIES=-000002___",
                                            "SEGWELD_TEST_SIGNAL=" + std::to_string(signal)})})
                .signal,
            signal);
        EXPECT_THAT(ListFolder(output.path()), ElementsAre());
    }
}

TEST_F(NothingLostTest, ReplacingAnOutputKeepsItsModeOwnerAndLink) {
    const auto expected = WriteSeries(1, 2);
    WriteFile(Output(), {'o', 'l', 'd'});
    ASSERT_EQ(chmod(Output().c_str(), 0640), 0);
    const bool mayChown = geteuid() == 0 && chown(Output().c_str(), 4321, 4321) == 0;
    ASSERT_EQ(Join().exitCode, 0);
    struct stat info {};
    ASSERT_EQ(stat(Output().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_TRUE(!mayChown || info.st_uid == 4321u);

    TempFolder elsewhere;
    const std::string target = elsewhere / "kept.segm";
    WriteFile(target, {'o', 'l', 'd'});
    std::filesystem::remove(Output());
    std::filesystem::create_symlink(target, Output());
    ASSERT_EQ(Join().exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(Output()));
    EXPECT_EQ(ReadFile(target), expected);
    EXPECT_THAT(ListFolder(elsewhere.path()), ElementsAre("kept.segm"));
}

}  // namespace
}  // namespace segweld
