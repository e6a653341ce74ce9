#include "join/joined_output.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "join/segment_file.h"
#include "tests/support/temp_folder.h"

namespace segweld {
namespace {

using test::ListFolder;
using ::testing::ElementsAre;

TEST(JoinedOutputFile, InvisibleUntilCommittedAndGoneWhenAbandoned) {
    test::TempFolder folder;
    const std::string source = folder / "source";
    test::WriteFile(source, {'a', 'b', 'c', 'd', 'e'});
    SegmentFile segment;
    ASSERT_EQ(segment.Open(source), OpenOutcome::Opened);

    {
        JoinedOutputFile abandoned(folder / "out.xyz");
        abandoned.AppendFrom(segment, 1, 3);
        EXPECT_THAT(ListFolder(folder.path()), ElementsAre("source"))
            << "a join in progress shows no file that a crash could leave behind";
    }
    EXPECT_THAT(ListFolder(folder.path()), ElementsAre("source"));

    JoinedOutputFile output(folder / "out.xyz");
    EXPECT_EQ(output.AppendFrom(segment, 1, 3), 3u);
    EXPECT_EQ(output.AppendFrom(segment, 3, 4), 2u) << "the source ends after two bytes";
    output.Commit();
    EXPECT_THAT(ListFolder(folder.path()), ElementsAre("out.xyz", "source"));
    EXPECT_EQ(test::ReadFile(folder / "out.xyz"),
              (std::vector<uint8_t>{'b', 'c', 'd', 'd', 'e', 0, 0}));
    EXPECT_EQ(output.bytesWritten(), 7u);

    struct stat info;
    ASSERT_EQ(stat((folder / "out.xyz").c_str(), &info), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask) << "permissions of any newly created file";
}

}  // namespace
}  // namespace segweld
