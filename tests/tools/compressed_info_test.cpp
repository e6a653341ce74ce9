// segweld-info on segment files compressed whole: what it says of them is what
// it says of their plain files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "tests/tools/info_test_product.h"

namespace segweld {
namespace {

using test::RunInfo;
using ::testing::HasSubstr;
using unpack::Compression;

TEST(CompressedInfoTest, ReadsCompressedFilesAsTheirPlainOnesAndNamesDamagedStreams) {
    test::TestProduct plain, stored;
    plain.WriteSeries(1, 8);
    stored.WriteSeries(1, 8);
    const Compression forms[] = {Compression::Bzip2, Compression::None, Compression::Gzip,
                                 Compression::Xz};
    std::vector<std::string> paths;  // of segments 1 to 8
    for (int n = 1; n <= 8; ++n) {
        paths.push_back(test::CompressFile(stored.Path(n), forms[(n - 1) % 4]));
    }
    // Run in each product's folder on bare names, whose compressed ones end in a suffix.
    const auto run = [](const test::TestProduct& product, std::vector<std::string> arguments) {
        const test::ProgramResult result = test::RunProgram(
            SEGWELD_INFO_BIN, arguments, {.workingFolder = product.folder.path().string()});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return std::regex_replace(result.out, std::regex(R"(__\.(bz2|gz|xz))"), "__");
    };
    const std::string third = test::SegmentFileName(3);
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{}, {"--json"}, {"--series"}, {"--series", "--json"}}) {
        SCOPED_TRACE(::testing::PrintToString(mode));
        std::vector<std::string> ofPlain = mode, ofStored = mode;
        ofPlain.push_back(third);
        ofStored.push_back(third + ".gz");
        EXPECT_EQ(run(stored, ofStored), run(plain, ofPlain));
    }
    const std::string storedPng = stored.folder / "p.png", plainPng = plain.folder / "p.png";
    EXPECT_EQ(RunInfo({"--preview", storedPng, paths[7]}).exitCode, 0);
    EXPECT_EQ(RunInfo({"--preview", plainPng, plain.Path(8)}).exitCode, 0);
    EXPECT_EQ(test::ReadFile(storedPng), test::ReadFile(plainPng));

    const auto gzipped = os::PathOf(paths[2]);  // segment 3: its length is cut off
    std::filesystem::resize_file(gzipped, std::filesystem::file_size(gzipped) - 4);
    test::WriteFile(paths[3], std::vector<uint8_t>(16, 'x'));  // segment 4 is no xz file
    EXPECT_THAT(RunInfo({paths[3]}).out, HasSubstr("its xz data are corrupt: no xz stream begins"));
    const auto report = nlohmann::json::parse(RunInfo({"--series", "--json", paths[0]}).out);
    EXPECT_EQ(report["segments"][2]["bytesPresent"], plain.dataBytes()) << "every data byte came";
    EXPECT_EQ(report["segments"][2]["damage"], "its gzip stream ends early");
    EXPECT_TRUE(report["segments"][1]["damage"].is_null());
    EXPECT_EQ(report["summary"]["damaged"], nlohmann::json::array({3}));
    EXPECT_EQ(report["summary"]["refused"], nlohmann::json::array({4}));
}

}  // namespace
}  // namespace segweld
