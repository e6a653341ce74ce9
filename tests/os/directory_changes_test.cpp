// The records of ReadDirectoryChangesW, built byte by byte as Windows lays
// them out; parsed on every system.

#include "os/directory_changes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace segweld::os {
namespace {

using ::testing::ElementsAre;
using ::testing::FieldsAre;
using Kind = FolderEvent::Kind;

void PutLittle32(std::vector<std::byte>& out, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        out[at + i] = static_cast<std::byte>(value >> (8 * i));
    }
}

// One record: offset to the next (`next`, or its own length padded to 4
// bytes when `next` is -1; 0 for the last), action, name length, name.
void Append(std::vector<std::byte>& out, uint32_t action, const std::u16string& name,
            int64_t next = -1) {
    const size_t start = out.size();
    const size_t length = (12 + 2 * name.size() + 3) / 4 * 4;
    out.resize(start + length);
    PutLittle32(out, start, next < 0 ? static_cast<uint32_t>(length) : static_cast<uint32_t>(next));
    PutLittle32(out, start + 4, action);
    PutLittle32(out, start + 8, static_cast<uint32_t>(2 * name.size()));
    for (size_t i = 0; i < name.size(); ++i) {
        out[start + 12 + 2 * i] = static_cast<std::byte>(name[i] & 0xFF);
        out[start + 13 + 2 * i] = static_cast<std::byte>(name[i] >> 8);
    }
}

TEST(DirectoryChangesTest, EveryActionAndNameAsWindowsWritesThem) {
    std::vector<std::byte> buffer;
    Append(buffer, kFileAdded, u"seg-000001");
    Append(buffer, kFileRenamedOldName, u"seg-000002.tmp");
    Append(buffer, kFileRenamedNewName, u"seg-000002");
    Append(buffer, kFileModified, u"Daten \u00fc");
    Append(buffer, kFileRemoved, u"gone");
    Append(buffer, kFileAdded, u"\U0001F600 \xD800 x", 0);  // a pair, and a lone surrogate
    EXPECT_THAT(FolderEventsOf(buffer),
                ElementsAre(FieldsAre(Kind::FileCreated, "seg-000001"),
                            FieldsAre(Kind::FileClosed, "seg-000002"),
                            FieldsAre(Kind::FileChanged, "Daten \xc3\xbc"),
                            FieldsAre(Kind::FileCreated, "\xf0\x9f\x98\x80 \xef\xbf\xbd x")));
}

// A read that returns nothing: the system lost track of what changed.
TEST(DirectoryChangesTest, AnEmptyReadIsAnOverflow) {
    EXPECT_THAT(FolderEventsOf({}), ElementsAre(FieldsAre(Kind::Overflow, "")));
}

struct BrokenRow {
    const char* label;
    std::vector<std::byte> (*make)();
    size_t parsed;
};

const BrokenRow kBrokenRows[] = {
    {"a name longer than the buffer",
     [] {
         std::vector<std::byte> b;
         Append(b, kFileAdded, u"first");
         const size_t second = b.size();
         Append(b, kFileAdded, u"second", 0);
         PutLittle32(b, second + 8, 1000);
         return b;
     },
     1},
    {"an offset past the end",
     [] {
         std::vector<std::byte> b;
         Append(b, kFileAdded, u"only", 4096);
         return b;
     },
     1},
    {"a head cut short",
     [] {
         std::vector<std::byte> b;
         Append(b, kFileAdded, u"whole");
         b.resize(b.size() + 8);
         return b;
     },
     1},
};

class BrokenRecordsTest : public ::testing::TestWithParam<BrokenRow> {};

TEST_P(BrokenRecordsTest, EndTheParseWithoutReadingPastTheBuffer) {
    const std::vector<std::byte> buffer = GetParam().make();
    EXPECT_EQ(ParseDirectoryChanges(buffer).size(), GetParam().parsed);
}

INSTANTIATE_TEST_SUITE_P(Rows, BrokenRecordsTest, ::testing::ValuesIn(kBrokenRows),
                         [](const auto& info) {
                             std::string name = info.param.label;
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                                 '_');
                             return name;
                         });

}  // namespace
}  // namespace segweld::os
