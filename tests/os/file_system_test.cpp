// One suite for every implementation of the file seam: it runs against the
// POSIX side on Linux and against the Win32 side under Wine or Windows.

#include "os/file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/support/temp_folder.h"

namespace segweld::os {
namespace {

namespace fs = std::filesystem;
using test::ListFolder;
using test::TempFolder;
using ::testing::ElementsAre;

// Bytes that a text-mode stream would change: line feed, carriage return,
// Ctrl-Z (end of text to the Windows C library) and a zero.
const std::vector<uint8_t> kTricky = {'a', 0x0A, 'b', 0x0D, 0x0A, 0x1A, 0x00, 0xFF, 'z'};

// Makes something at `path`; false when this system cannot (the row is then
// skipped).
using Maker = std::function<bool(const std::string& path, const TempFolder& folder)>;

bool MakeNothing(const std::string&, const TempFolder&) {
    return true;
}
bool MakeFile(const std::string& path, const TempFolder&) {
    test::WriteFile(path, kTricky);
    return true;
}
bool MakeFolder(const std::string& path, const TempFolder&) {
    return fs::create_directory(path);
}
bool MakeLinkToNowhere(const std::string& path, const TempFolder& folder) {
    std::error_code error;
    fs::create_symlink(folder / "nowhere", path, error);
    return !error;
}
bool MakeLinkLoop(const std::string& path, const TempFolder&) {
    std::error_code error;
    fs::create_symlink(path, path, error);
    return !error;
}
bool MakeLinkToFile(const std::string& path, const TempFolder& folder) {
    test::WriteFile(folder / "target", kTricky);
    std::error_code error;
    fs::create_symlink(folder / "target", path, error);
    return !error;
}

struct KindRow {
    const char* label;
    Maker make;
    const char* name;  // under the folder
    PathKind kind;
    InputFile::Outcome opened;
};

const KindRow kKindRows[] = {
    {"nothing", MakeNothing, "absent", PathKind::Missing, InputFile::Outcome::Missing},
    {"inside a missing folder", MakeNothing, "absent/deeper", PathKind::Missing,
     InputFile::Outcome::Missing},
    {"regular file", MakeFile, "file", PathKind::RegularFile, InputFile::Outcome::Opened},
    {"folder", MakeFolder, "folder", PathKind::Folder, InputFile::Outcome::NotRegularFile},
    {"link to a file", MakeLinkToFile, "link", PathKind::RegularFile, InputFile::Outcome::Opened},
    {"dangling link", MakeLinkToNowhere, "link", PathKind::DanglingLink,
     InputFile::Outcome::Missing},
    {"link loop", MakeLinkLoop, "loop", PathKind::LinkLoop, InputFile::Outcome::Missing},
};

void PrintTo(const KindRow& row, std::ostream* out) {
    *out << row.label;
}

class PathKindTest : public ::testing::TestWithParam<KindRow> {};

TEST_P(PathKindTest, LookAtAndOpenAgree) {
    const KindRow& row = GetParam();
    TempFolder folder;
    const std::string path = folder / row.name;
    if (!row.make(path, folder)) {
        GTEST_SKIP() << "this system cannot make a " << row.label << " here";
    }
    const PathInfo info = LookAt(path);
    EXPECT_EQ(info.kind, row.kind);
    EXPECT_EQ(PathExists(path),
              row.kind != PathKind::Missing && row.kind != PathKind::DanglingLink);
    if (row.kind == PathKind::RegularFile) {
        EXPECT_EQ(info.size, kTricky.size());
    }
    InputFile input;
    EXPECT_EQ(input.Open(path), row.opened) << input.error();
    EXPECT_EQ(input.isOpen(), row.opened == InputFile::Outcome::Opened);
    if (row.opened != InputFile::Outcome::Opened) {
        EXPECT_FALSE(input.error().empty()) << "a refusal says why";
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PathKindTest, ::testing::ValuesIn(kKindRows),
                         [](const auto& info) { return "Row" + std::to_string(info.index); });

TEST(LookAt, TheNullDeviceIsNeitherFileNorFolder) {
    EXPECT_EQ(LookAt(SEGWELD_NULL_DEVICE).kind, PathKind::Other);
    InputFile input;
    EXPECT_EQ(input.Open(SEGWELD_NULL_DEVICE), InputFile::Outcome::NotRegularFile);
}

TEST(LookAt, IdentityTellsNamesOfOneFileFromOtherFiles) {
    TempFolder folder;
    test::WriteFile(folder / "one", kTricky);
    test::WriteFile(folder / "other", kTricky);
    fs::create_hard_link(folder / "one", folder / "second-name");

    const FileIdentity one = LookAt(folder / "one").identity;
    EXPECT_EQ(LookAt(folder / "second-name").identity, one);
    EXPECT_NE(LookAt(folder / "other").identity, one);
    InputFile input;
    ASSERT_EQ(input.Open(folder / "second-name"), InputFile::Outcome::Opened);
    EXPECT_EQ(input.identity(), one);
}

TEST(InputFile, ReadsAtAnOffsetUpToTheEnd) {
    TempFolder folder;
    test::WriteFile(folder / "file", kTricky);
    InputFile input;
    ASSERT_EQ(input.Open(folder / "file"), InputFile::Outcome::Opened);
    ASSERT_EQ(input.size(), kTricky.size());

    const struct {
        const char* label;
        uint64_t offset;
        size_t asked;
    } rows[] = {
        {"whole file", 0, kTricky.size()},
        {"middle", 1, 5},
        {"across the end", 6, 10},
        {"at the end", kTricky.size(), 4},
        {"beyond the end", kTricky.size() + 100, 4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        std::vector<uint8_t> out(row.asked, 0xEE);
        const size_t got = input.ReadAt(row.offset, out);
        const size_t available = row.offset >= kTricky.size() ? 0 : kTricky.size() - row.offset;
        ASSERT_EQ(got, std::min(row.asked, available));
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + got, kTricky.begin() + row.offset));
    }
}

// A file larger than 4 GiB, written and read through the seam: both sides
// must use 64-bit offsets. The zeros are a hole where the file system allows.
TEST(HiddenOutput, OffsetsBeyondFourGibibytes) {
    TempFolder folder;
    constexpr uint64_t kGap = (uint64_t{5} << 30) + 3;
    {
        HiddenOutput output(folder / "big");
        output.AppendZeros(kGap);
        output.Append(kTricky);
        output.Commit();
    }
    InputFile input;
    ASSERT_EQ(input.Open(folder / "big"), InputFile::Outcome::Opened);
    EXPECT_EQ(input.size(), kGap + kTricky.size());
    std::vector<uint8_t> out(kTricky.size() + 2);
    ASSERT_EQ(input.ReadAt(kGap - 2, out), out.size());
    EXPECT_THAT(std::vector<uint8_t>(out.begin(), out.begin() + 2), ElementsAre(0, 0));
    EXPECT_TRUE(std::equal(kTricky.begin(), kTricky.end(), out.begin() + 2));
}

// What one run of an output leaves behind.
struct OutputRow {
    const char* label;
    bool existingFile;  // "out" holds kOld before the run
    bool commit;
    std::vector<uint8_t> expected;  // the contents of "out" afterwards; empty: no file
};

const std::vector<uint8_t> kOld = {'o', 'l', 'd'};
// The run below writes: "ab", two zeros, then bytes 1..3 of kTricky.
const std::vector<uint8_t> kWritten = {'a', 'b', 0, 0, 0x0A, 'b', 0x0D};

TEST(HiddenOutput, AppearsWholeOnCommitAndLeavesNothingOtherwise) {
    const OutputRow rows[] = {
        {"new file, committed", false, true, kWritten},
        {"new file, abandoned", false, false, {}},
        {"replacing a file, committed", true, true, kWritten},
        {"replacing a file, abandoned", true, false, kOld},
    };
    for (const OutputRow& row : rows) {
        SCOPED_TRACE(row.label);
        TempFolder folder;
        test::WriteFile(folder / "source", kTricky);
        if (row.existingFile) {
            test::WriteFile(folder / "out", kOld);
        }
        const std::vector<std::string> before = ListFolder(folder.path());
        InputFile source;
        ASSERT_EQ(source.Open(folder / "source"), InputFile::Outcome::Opened);
        {
            HiddenOutput output(folder / "out");
            output.Append(std::vector<uint8_t>{'a', 'b'});
            output.AppendZeros(2);
            EXPECT_EQ(output.AppendFrom(source, 1, 3), 3u);
            EXPECT_EQ(output.size(), kWritten.size());
            const PathInfo during = LookAt(folder / "out");
            EXPECT_EQ(during.kind, row.existingFile ? PathKind::RegularFile : PathKind::Missing);
            EXPECT_EQ(during.size, row.existingFile ? kOld.size() : 0)
                << "the final name keeps what it held until the commit";
            if (row.commit) {
                output.Commit();
                EXPECT_THROW(output.Commit(), OutputError);
            }
        }
        if (row.expected.empty()) {
            EXPECT_EQ(ListFolder(folder.path()), before);
        } else {
            EXPECT_THAT(ListFolder(folder.path()), ElementsAre("out", "source"));
            EXPECT_EQ(test::ReadFile(folder / "out"), row.expected);
        }
    }
}

TEST(HiddenOutput, AppendFromStopsWhereTheSourceEnds) {
    TempFolder folder;
    test::WriteFile(folder / "source", kTricky);
    InputFile source;
    ASSERT_EQ(source.Open(folder / "source"), InputFile::Outcome::Opened);
    HiddenOutput output(folder / "out");
    EXPECT_EQ(output.AppendFrom(source, kTricky.size() - 2, 10), 2u);
    EXPECT_EQ(output.AppendFrom(source, kTricky.size() + 5, 10), 0u);
    EXPECT_EQ(output.size(), 2u);
}

TEST(HiddenOutput, RefusesAFolderThatDoesNotExist) {
    TempFolder folder;
    EXPECT_THROW(HiddenOutput(folder / "absent/out"), OutputError);
    EXPECT_TRUE(ListFolder(folder.path()).empty());
}

TEST(HiddenOutput, CommitsThroughALinkOntoTheFileItLeadsTo) {
    TempFolder folder;
    std::error_code error;
    test::WriteFile(folder / "target", kOld);
    fs::create_symlink(folder / "target", folder / "link", error);
    if (error) {
        GTEST_SKIP() << "this system cannot make a symbolic link here: " << error.message();
    }
    HiddenOutput output(folder / "link");
    output.Append(kTricky);
    output.Commit();
    EXPECT_TRUE(fs::is_symlink(folder / "link"));
    EXPECT_EQ(test::ReadFile(folder / "target"), kTricky);
}

}  // namespace
}  // namespace segweld::os
