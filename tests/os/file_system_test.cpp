// One suite for every implementation of the file seam: it runs against the
// POSIX side on Linux and against the Win32 side under Wine or Windows.

#include "os/file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "tests/support/temp_folder.h"

namespace segweld::os {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using Kind = PathKind;
using Outcome = InputFile::Outcome;

// Bytes that a text-mode stream would change: line feed, carriage return,
// Ctrl-Z (end of text to the Windows C library) and a zero.
const std::vector<uint8_t> kTricky = {'a', 0x0A, 'b', 0x0D, 0x0A, 0x1A, 0x00, 0xFF, 'z'};
const std::vector<uint8_t> kOld = {'o', 'l', 'd'};

// Writes `bytes` to `path` and returns the path.
std::string Write(const std::string& path, const std::vector<uint8_t>& bytes = kTricky) {
    test::WriteFile(path, bytes);
    return path;
}

InputFile Open(const std::string& path) {
    InputFile input;
    EXPECT_EQ(input.Open(path), Outcome::Opened) << input.error();
    return input;
}

// Returns `path`, or nothing when this system cannot make symbolic links here.
std::string Link(const std::string& target, const std::string& path) {
    std::error_code error;
    fs::create_symlink(target, path, error);
    return error ? "" : path;
}

struct KindRow {
    const char* label;
    // Makes something in the folder and returns its path; empty when this
    // system cannot make symbolic links (the rows with links come last).
    std::string (*make)(const TempFolder&);
    Kind kind;
    Outcome opened;
};

const KindRow kKindRows[] = {
    {"nothing", [](auto& f) { return f / "absent"; }, Kind::Missing, Outcome::Missing},
    {"in a missing folder", [](auto& f) { return f / "no/file"; }, Kind::Missing, Outcome::Missing},
    {"regular file", [](auto& f) { return Write(f / "file"); }, Kind::RegularFile, Outcome::Opened},
    {"folder", [](auto& f) { return fs::create_directory(f / "dir") ? f / "dir" : ""; },
     Kind::Folder, Outcome::NotRegularFile},
    {"null device", [](auto&) -> std::string { return SEGWELD_NULL_DEVICE; }, Kind::Other,
     Outcome::NotRegularFile},
    {"link to a file", [](auto& f) { return Link(Write(f / "file"), f / "link"); },
     Kind::RegularFile, Outcome::Opened},
    {"dangling link", [](auto& f) { return Link(f / "none", f / "ln"); }, Kind::DanglingLink,
     Outcome::Missing},
    {"link loop", [](auto& f) { return Link(f / "ln", f / "ln"); }, Kind::LinkLoop,
     Outcome::Missing},
};

TEST(LookAt, KindsAndOpenAgree) {
    for (const KindRow& row : kKindRows) {
        SCOPED_TRACE(row.label);
        TempFolder folder;
        const std::string path = row.make(folder);
        if (path.empty()) {
            GTEST_SKIP() << "this system cannot make a " << row.label << " here";
        }
        const PathInfo info = LookAt(path);
        EXPECT_EQ(info.kind, row.kind);
        EXPECT_EQ(PathExists(path), row.kind != Kind::Missing && row.kind != Kind::DanglingLink);
        if (row.kind == Kind::RegularFile) {
            EXPECT_EQ(info.size, kTricky.size());
        }
        InputFile input;
        EXPECT_EQ(input.Open(path), row.opened) << input.error();
        EXPECT_EQ(input.isOpen(), row.opened == Outcome::Opened);
        EXPECT_EQ(input.error().empty(), row.opened == Outcome::Opened) << "a refusal says why";
    }
}

// Rewritten in place with its time set back, a file keeps its identity,
// size and time: only its change time, which no program sets back, tells.
TEST(LookAt, IdentityTellsNamesOfOneFileFromOtherFilesAndChangeTimeAnyChange) {
    TempFolder folder;
    const InputFile one = Open(Write(folder / "one"));
    fs::create_hard_link(folder / "one", folder / "second-name");
    EXPECT_EQ(LookAt(folder / "second-name").identity, one.identity());
    EXPECT_NE(LookAt(Write(folder / "other")).identity, one.identity());
    const auto written = fs::last_write_time(folder / "one");
    fs::last_write_time(folder / "one", written);  // as finely as this system sets times
    const PathInfo before = LookAt(folder / "one");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    fs::last_write_time(Write(folder / "one", std::vector<uint8_t>(kTricky.size())), written);
    const InputFile after = Open(folder / "one");
    EXPECT_EQ(after.modifiedNanoseconds() - before.modifiedNanoseconds, 0);
    EXPECT_GT(after.changedNanoseconds(), before.changedNanoseconds);
}

// A file larger than 4 GiB, written and read through the seam: both sides must
// use 64-bit offsets (the zeros are a hole where the file system allows).
// ReadAt and AppendFrom return fewer bytes than asked only where it ends.
TEST(InputFile, ReadsAndCopiesBeyondFourGibibytesUpToTheEnd) {
    TempFolder folder;
    constexpr uint64_t kGap = (uint64_t{5} << 30) + 3;
    HiddenOutput big(folder / "big");
    big.AppendZeros(kGap);
    big.Append(kTricky);
    big.Commit();
    const InputFile input = Open(folder / "big");
    ASSERT_EQ(input.size(), kGap + kTricky.size());
    HiddenOutput copy(folder / "copy");
    uint64_t copied = 0;
    // {offset, asked}: across the end of the zeros, in the middle, across the
    // end, at the end, beyond the end.
    const std::pair<uint64_t, size_t> rows[] = {
        {kGap - 2, 11}, {kGap + 1, 5}, {kGap + 6, 10}, {kGap + 9, 4}, {kGap + 100, 4}};
    for (const auto& [offset, asked] : rows) {
        SCOPED_TRACE(::testing::Message() << "at " << offset << ", " << asked << " bytes");
        std::vector<uint8_t> out(asked, 0xEE);
        const size_t got = input.ReadAt(offset, out);
        ASSERT_EQ(got, std::min<uint64_t>(asked, input.size() - std::min(offset, input.size())));
        for (size_t i = 0; i < got; ++i) {
            ASSERT_EQ(out[i], offset + i < kGap ? 0 : kTricky[offset + i - kGap]);
        }
        EXPECT_EQ(copy.AppendFrom(input, offset, asked), got);
        EXPECT_EQ(copy.size(), copied += got);
    }
}

// Each run writes "ab", two zeros and bytes 1..3 of kTricky, with or without a
// file "out" there before, and commits or abandons.
TEST(HiddenOutput, AppearsWholeOnCommitAndLeavesNothingOtherwise) {
    const std::vector<uint8_t> written = {'a', 'b', 0, 0, 0x0A, 'b', 0x0D};
    for (int run = 0; run < 4; ++run) {
        const bool existing = run & 1, commit = run & 2;
        SCOPED_TRACE(::testing::Message() << "existing " << existing << ", commit " << commit);
        TempFolder folder;
        const InputFile source = Open(Write(folder / "source"));
        const std::string out = existing ? Write(folder / "out", kOld) : folder / "out";
        {
            HiddenOutput output(out);
            output.Append(std::vector<uint8_t>{'a', 'b'});
            output.AppendZeros(2);
            output.AppendFrom(source, 1, 3);
            EXPECT_EQ(output.size(), written.size());
            EXPECT_EQ(PathExists(out), existing) << "the final name keeps what it held";
            EXPECT_EQ(LookAt(out).size, existing ? kOld.size() : 0);
            if (commit) {
                output.Commit();
                EXPECT_THROW(output.Commit(), OutputError);
            }
        }
        EXPECT_EQ(test::ListFolder(folder.path()).size(), existing || commit ? 2u : 1u);
        if (existing || commit) {
            EXPECT_EQ(test::ReadFile(out), commit ? written : kOld);
        }
    }
}

// Written in place as an image library writes: out of order, past the end
// (a gap of zeros), read back, cut, and committed whole.
TEST(HiddenOutput, WrittenInPlaceReadsBackAndCommitsWhatItHolds) {
    TempFolder folder;
    HiddenOutput output(folder / "out");
    output.WriteAt(4, kTricky);
    output.WriteAt(0, kOld);
    EXPECT_EQ(output.size(), 4 + kTricky.size());
    std::vector<uint8_t> back(20, 7);
    back.resize(output.ReadAt(2, back));
    EXPECT_EQ(back,
              std::vector<uint8_t>({'d', 0, 'a', 0x0A, 'b', 0x0D, 0x0A, 0x1A, 0x00, 0xFF, 'z'}));
    output.Resize(6);
    output.Commit();
    EXPECT_EQ(test::ReadFile(folder / "out"), std::vector<uint8_t>({'o', 'l', 'd', 0, 'a', 0x0A}));
}

// POSIX keeps the replaced file's mode, Windows its attributes.
TEST(HiddenOutput, ReplacesAReadOnlyFileWithOneThatIsReadOnlyToo) {
    TempFolder folder;
    const std::string out = Write(folder / "out", kOld);
    const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(out, writable, fs::perm_options::remove);
    HiddenOutput output(out);
    output.Append(kTricky);
    output.Commit();
    EXPECT_EQ(test::ReadFile(out), kTricky);
    EXPECT_EQ(fs::status(out).permissions() & writable, fs::perms::none);
    fs::permissions(out, fs::perms::owner_write, fs::perm_options::add);  // for the clean-up
}

TEST(HiddenOutput, RefusesAFolderThatDoesNotExist) {
    TempFolder folder;
    EXPECT_THROW(HiddenOutput(folder / "absent/out"), OutputError);
    EXPECT_TRUE(test::ListFolder(folder.path()).empty());
}

TEST(HiddenOutput, CommitsThroughALinkOntoTheFileItLeadsTo) {
    TempFolder folder;
    if (Link(Write(folder / "target", kOld), folder / "link").empty()) {
        GTEST_SKIP() << "this system cannot make a symbolic link here";
    }
    HiddenOutput output(folder / "link");
    output.Append(kTricky);
    output.Commit();
    EXPECT_EQ(test::ReadFile(folder / "target"), kTricky);
}

// A log's file: what it holds stays, each record lands whole at the end,
// and once the file is moved away (a rotation) its name is opened anew.
TEST(AppendingFile, GrowsAtTheEndAndOpensItsNameAgainAfterAMove) {
    TempFolder folder;
    const std::string path = Write(folder / "report.jsonl", kOld);
    {
        AppendingFile file(path);
        file.Append(kTricky);
        fs::rename(path, folder / "report.jsonl.1");
        file.Append(kOld);  // still to the file it opened
    }
    std::vector<uint8_t> expected = kOld;
    expected.insert(expected.end(), kTricky.begin(), kTricky.end());
    expected.insert(expected.end(), kOld.begin(), kOld.end());
    EXPECT_EQ(test::ReadFile(folder / "report.jsonl.1"), expected);
    AppendingFile(path).Append(kTricky);
    EXPECT_EQ(test::ReadFile(path), kTricky);
    {
        AppendingFile first(path);
        EXPECT_THROW(AppendingFile{path}, OutputInUse) << "one writer";
    }
    EXPECT_THROW(AppendingFile(folder.path().string()), OutputError) << "a folder";
    EXPECT_THROW(AppendingFile(folder / "missing/report.jsonl"), OutputError);
}

// A partial file has one writer: a second is refused until the first is done.
TEST(HiddenOutput, APartialFileIsItsWritersAlone) {
    TempFolder folder;
    HiddenOutput first(folder / "report", "report.partial");
    EXPECT_THROW(HiddenOutput(folder / "report", "report.partial"), OutputInUse);
    first.Commit();
    EXPECT_NO_THROW(HiddenOutput(folder / "report", "report.partial"));
}

}  // namespace
}  // namespace segweld::os
