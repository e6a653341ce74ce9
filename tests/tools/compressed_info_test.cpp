// segweld-info on segment files compressed whole: what it says of them is what
// it says of their plain files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/compressed_files.h"
#include "tests/tools/info_test_product.h"

namespace segweld {
namespace {

using test::CompressFile;
using test::ProgramResult;
using test::RunInfo;
using ::testing::HasSubstr;
using unpack::Compression;
using Json = nlohmann::ordered_json;

// `text` with every path of `from`'s folder written as in `to`'s, and the
// compressed names as plain ones.
std::string AsPlain(std::string text, const std::string& from, const std::string& to) {
    for (const std::string suffix : {".bz2", ".gz", ".xz"}) {
        for (size_t at; (at = text.find("__" + suffix)) != std::string::npos;) {
            text.erase(at + 2, suffix.size());
        }
    }
    for (size_t at; (at = text.find(from)) != std::string::npos;) {
        text.replace(at, from.size(), to);
    }
    return text;
}

class CompressedInfoTest : public ::testing::Test {
  protected:
    CompressedInfoTest() {
        plain.WriteSeries(1, 8);
        stored.WriteSeries(1, 8);
        const Compression forms[] = {Compression::Bzip2, Compression::None, Compression::Gzip,
                                     Compression::Xz};
        for (int number = 1; number <= 8; ++number) {
            paths.push_back(CompressFile(stored.Path(number), forms[(number - 1) % 4]));
        }
    }
    std::string Plain(const std::string& text) const {
        return AsPlain(text, stored.folder.path().string(), plain.folder.path().string());
    }

    test::TestProduct plain, stored;
    std::vector<std::string> paths;  // of the stored segments, by number - 1
};

TEST_F(CompressedInfoTest, HeadersSeriesAndPreviewAreThoseOfThePlainFiles) {
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, {"--json"}, {"--series"}, {"--series", "--json"}}) {
        SCOPED_TRACE(::testing::PrintToString(options));
        std::vector<std::string> ofStored = options, ofPlain = options;
        ofStored.push_back(paths[2]);
        ofPlain.push_back(plain.Path(3));
        const ProgramResult fromStored = RunInfo(ofStored), fromPlain = RunInfo(ofPlain);
        EXPECT_EQ(fromStored.exitCode, 0) << fromStored.err;
        EXPECT_EQ(Plain(fromStored.out), fromPlain.out);
    }
    const std::string storedPng = stored.folder / "p.png", plainPng = plain.folder / "p.png";
    EXPECT_EQ(RunInfo({"--preview", storedPng, paths[7]}).exitCode, 0);
    EXPECT_EQ(RunInfo({"--preview", plainPng, plain.Path(8)}).exitCode, 0);
    EXPECT_EQ(test::ReadFile(storedPng), test::ReadFile(plainPng));
}

TEST_F(CompressedInfoTest, DamagedStreamsAreDamagedAndRefusedOnesSayWhy) {
    const std::vector<uint8_t> whole = test::ReadFile(paths[2]);  // segment 3, gzip
    test::WriteFile(paths[2], {whole.begin(), whole.end() - 4});  // its length is cut off
    test::WriteFile(paths[3], test::Compress({'n', 'o', 'n', 'e'}, Compression::Xz));
    const ProgramResult dump = RunInfo({paths[3]});
    EXPECT_EQ(dump.exitCode, 1);
    EXPECT_THAT(dump.out, HasSubstr("shorter than a primary header record"));
    const ProgramResult series = RunInfo({"--series", "--json", paths[0]});
    EXPECT_EQ(series.exitCode, 1);
    const Json report = Json::parse(series.out);
    EXPECT_EQ(report["segments"][2]["bytesPresent"], plain.dataBytes()) << "every data byte came";
    EXPECT_EQ(report["segments"][2]["damage"], "its gzip stream ends early");
    EXPECT_TRUE(report["segments"][1]["damage"].is_null());
    EXPECT_EQ(report["summary"]["damaged"], Json::array({3}));
    EXPECT_EQ(report["summary"]["refused"], Json::array({4}));
}

}  // namespace
}  // namespace segweld
