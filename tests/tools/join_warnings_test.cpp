// segweld warns when the product it joined is incomplete.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/tools/info_test_product.h"

namespace segweld {
namespace {

using test::ProgramResult;
using test::RunSegweld;
using ::testing::HasSubstr;

class JoinWarningsTest : public ::testing::Test {
  protected:
    ProgramResult Join() { return RunSegweld({product.Path(1), output.path().string()}); }

    uint64_t OutputSize() const {
        const auto names = test::ListFolder(output.path());
        return names.size() == 1 ? std::filesystem::file_size(output / names[0]) : 0;
    }

    test::TestProduct product;
    test::TempFolder output;
};

TEST_F(JoinWarningsTest, MissingSegmentsAndFilesBeyondTheGapAreNamed) {
    product.WriteSeries(1, 2);
    product.WriteSeries(4, 5);
    const ProgramResult result = Join();
    EXPECT_EQ(result.exitCode, 0) << "the join itself still succeeds";
    EXPECT_THAT(result.err, HasSubstr("segweld: warning: only 2 of the 8 planned segments (1 to 8) "
                                      "were joined; not joined: 3-8\n"));
    EXPECT_THAT(result.err,
                HasSubstr("segweld: warning: no file exists for segment 3, so the walk "
                          "ended there; segment files beyond it were not joined: 4-5\n"));
    EXPECT_EQ(OutputSize(), 2 * product.dataBytes()) << "the output is unchanged by the warnings";
}

TEST_F(JoinWarningsTest, FilesBeyondAMissingFirstSegmentAreNamed) {
    product.WriteSeries(2, 3);
    const ProgramResult result = RunSegweld({product.Path(2), output.path().string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.err, HasSubstr("no file exists for segment 1"));
    EXPECT_THAT(result.err, HasSubstr("not joined: 2-3\n"));
}

}  // namespace
}  // namespace segweld
