// Products stored compressed whole, some segments or all, in --batch and
// --watch: the same keys, outputs and records as their plain files'.
#include <fstream>
#include <set>

#include "tests/station/station_fixture.h"
#include "tests/support/compressed_files.h"

namespace segweld::station {
namespace {

using ::testing::HasSubstr;
using unpack::Compression;

// Writes `numbers` of `product` into `folder`, segment n stored as
// forms[(n - 1) % forms.size()] says.
void WriteStored(const TestProduct& product, const std::string& folder,
                 const std::vector<Compression>& forms, const std::vector<int>& numbers = kAll) {
    product.Write(folder, numbers);
    for (int n : numbers)
        CompressFile(folder + "/" + product.Name(n), forms[(n - 1) % forms.size()]);
}

class CompressedBatchTest : public StationTest {
  protected:
    const TestProduct bzip2{"IR_108___"}, mixed{"WV_062___"}, plain{"VIS006___"};
};

TEST_F(CompressedBatchTest, KeysRecordsAndShardsAreThoseOfThePlainFiles) {
    WriteStored(bzip2, in, {Compression::Bzip2});
    WriteStored(mixed, in, {Compression::Gzip, Compression::Xz, Compression::None});
    const std::string cut = in + "/" + mixed.Name(4) + ".gz";
    const std::vector<uint8_t> whole = ReadFile(cut);
    WriteFile(cut, {whole.begin(), whole.end() - 30});
    plain.Write(in, kAll);
    EXPECT_THAT(Batch().err, HasSubstr("2 joined, 0 up to date, 1 incomplete, 0 failed"));
    const Report report = Report::Of(reportPath);
    for (const TestProduct* product : {&bzip2, &plain})
        EXPECT_EQ(Output(*product), product->Joined(kAll)) << product->channel;
    const nlohmann::json& damaged = report.product(mixed.Key());
    EXPECT_EQ(damaged.at("damaged"), nlohmann::json::array({4}));
    EXPECT_THAT(damaged.at("warnings").dump(), HasSubstr(mixed.Name(4) + ".gz holds "));
    EXPECT_THAT(damaged.at("warnings").dump(), HasSubstr("its gzip stream ends early"));

    EXPECT_THAT(Batch().err, HasSubstr("0 joined, 3 up to date"));
    fs::remove(in + "/" + bzip2.Name(3) + ".bz2");
    bzip2.Write(in, {3});  // the same segment, stored plain now
    EXPECT_THAT(Batch().err, HasSubstr("1 joined, 2 up to date"));
    EXPECT_EQ(Output(bzip2), bzip2.Joined(kAll));

    // The same products stored plain fall into the same shards.
    const std::string plainIn = scratch / "plain";
    fs::create_directory(plainIn);
    for (const TestProduct* product : {&bzip2, &mixed, &plain})
        product->Write(plainIn, kAll);
    for (const std::string shard : {"0/2", "1/2"}) {
        std::set<std::string> keys[2];
        for (int i = 0; i < 2; ++i) {
            RunProgram(SEGWELD_BIN, {"--batch", i == 0 ? in : plainIn, scratch / "shards",
                                     "--shard", shard, "--report", reportPath});
            for (const auto& [key, line] : Report::Of(reportPath).products)
                keys[i].insert(key);
        }
        EXPECT_EQ(keys[0], keys[1]) << shard;
    }
}

TEST_F(CompressedBatchTest, RecursiveAndListedFilesFindCompressedProducts) {
    fs::create_directories(in + "/day/sub");
    WriteStored(bzip2, in + "/day", {Compression::Xz});
    WriteStored(mixed, in + "/day/sub", {Compression::None, Compression::Bzip2});
    EXPECT_THAT(Batch({"--recursive"}).err, HasSubstr("2 joined"));
    EXPECT_EQ(ReadFile(out + "/day/sub/" + mixed.OutputName()), mixed.Joined(kAll));
    WriteFile(scratch / "list.txt", {});
    std::ofstream(scratch / "list.txt") << "day/" << bzip2.Name(5) << ".xz\n";
    EXPECT_THAT(Batch({"--force", "--from-list", scratch / "list.txt"}).err,
                HasSubstr("1 joined, 0 up to date"));
    EXPECT_EQ(Report::Of(reportPath).products.begin()->first, "day/" + bzip2.Key());
    if (Batch({"--geotiff", "--recursive"}).exitCode != 2) {  // 2: a build without GeoTIFF
        const Report report = Report::Of(reportPath);
        const nlohmann::json& refused = report.product("day/" + bzip2.Key());
        EXPECT_EQ(refused.at("status"), "failed");
        EXPECT_THAT(refused.at("error").get<std::string>(), HasSubstr("is stored compressed (xz)"));
    }
}

using CompressedWatchTest = StationTest;

// Segment 8, compressed, is written all but the last bytes of its stream
// (its data decompress whole, the stream's end is missing): its product is
// joined only once the stream has ended.
TEST_F(CompressedWatchTest, ACompressedArrivalIsWholeOnceItsStreamEnds) {
    const TestProduct growing{"WV_062___"}, other{"IR_108___"};
    growing.Write(in, {1, 2, 3, 4, 5, 6, 7});
    const std::vector<uint8_t> compressed = Compress(growing.File(8), Compression::Bzip2);
    const auto half = static_cast<std::streamsize>(compressed.size() - 4);
    std::ofstream writer(in + "/" + growing.Name(8) + ".bz2", std::ios::binary);
    writer.write(reinterpret_cast<const char*>(compressed.data()), half).flush();
    auto watch = Start({"--timeout", "60"});
    WriteStored(other, in, {Compression::Xz, Compression::Gzip});
    ASSERT_TRUE(OutputAppears(other)) << watch->Log();
    EXPECT_EQ(Output(other), other.Joined(kAll));
    EXPECT_FALSE(fs::exists(OutPath(growing))) << "joined before segment 8's stream ended";
    writer.write(reinterpret_cast<const char*>(compressed.data()) + half,
                 static_cast<std::streamsize>(compressed.size()) - half);
    writer.close();
    ASSERT_TRUE(OutputAppears(growing)) << watch->Log();
    EXPECT_EQ(Output(growing), growing.Joined(kAll));
    EXPECT_EQ(watch->Stop(SIGTERM), 0);
    EXPECT_THAT(watch->Log(), ::testing::Not(HasSubstr("incomplete")));
}

}  // namespace
}  // namespace segweld::station
