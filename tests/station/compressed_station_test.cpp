// Products stored compressed whole, some segments or all, in --batch and
// --watch: the same keys, outputs and records as their plain files'.
#include <fstream>
#include <set>

#include "join/output_name.h"
#include "tests/station/station_fixture.h"

namespace segweld::station {
namespace {

using ::testing::HasSubstr;
using unpack::Compression;

// `product` in `folder`, segment n stored as forms[(n - 1) % forms.size()].
void WriteStored(const TestProduct& product, const std::string& folder,
                 const std::vector<Compression>& forms) {
    product.Write(folder, kAll);
    for (int n : kAll)
        CompressFile(folder + "/" + product.Name(n), forms[(n - 1) % forms.size()]);
}

TEST_F(StationTest, CompressedProductsHaveThePlainFilesKeysShardsAndRecords) {
    const TestProduct bzip2{"IR_108___"}, mixed{"WV_062___"}, plain{"VIS006___"};
    fs::create_directories(in + "/day");
    WriteStored(bzip2, in + "/day", {Compression::Bzip2});
    WriteStored(mixed, in, {Compression::Gzip, Compression::Xz, Compression::None});
    const std::string cut = in + "/" + mixed.Name(4) + ".gz";
    fs::resize_file(cut, fs::file_size(cut) - 30);
    plain.Write(in, kAll);
    EXPECT_THAT(Batch({"--recursive"}).err, HasSubstr("2 joined, 0 up to date, 1 incomplete"));
    EXPECT_EQ(ReadFile(out + "/day/" + bzip2.OutputName()), bzip2.Joined(kAll));
    const nlohmann::json damaged = Report::Of(reportPath).product(mixed.Key());
    EXPECT_EQ(damaged.at("damaged"), nlohmann::json::array({4}));
    EXPECT_THAT(damaged.at("warnings").dump(),
                HasSubstr("of its 500 data bytes (its gzip stream ends early)"));

    EXPECT_THAT(Batch({"--recursive"}).err, HasSubstr("0 joined, 3 up to date"));
    fs::remove(in + "/day/" + bzip2.Name(3) + ".bz2");
    bzip2.Write(in + "/day", {3});  // the same segment, stored plain now
    std::ofstream(scratch / "list.txt") << "day/" << bzip2.Name(5) << ".bz2\n";
    EXPECT_THAT(Batch({"--from-list", scratch / "list.txt"}).err, HasSubstr("1 joined, 0 up"));

    // The plain files' keys, which --shard hashes, each in one shard.
    std::multiset<std::string> keys;
    for (const std::string shard : {"0/2", "1/2"}) {
        Batch({"--recursive", "--force", "--shard", shard});
        for (const auto& [key, line] : Report::Of(reportPath).products)
            keys.insert(key);
    }
    EXPECT_EQ(keys, (std::multiset<std::string>{"day/" + bzip2.Key(), mixed.Key(), plain.Key()}));
    // --geotiff reads them as the join does: the same products, damaged alike.
    if (Batch({"--geotiff", "--recursive"}).exitCode != 2) {  // 2: a build without GeoTIFF
        const Report report = Report::Of(reportPath);
        EXPECT_EQ(report.product("day/" + bzip2.Key()).at("status"), "joined");
        EXPECT_EQ(report.product(mixed.Key()).at("damaged"), nlohmann::json::array({4}));
        EXPECT_TRUE(fs::exists(out + "/day/" + LowerAscii(bzip2.Name(1)) + ".tif"));
        EXPECT_THAT(Batch({"--geotiff", "--recursive"}).err, HasSubstr("0 joined, 3 up to date"));
    }
}

// Segment 8 is written all but the last bytes of its stream (its data
// decompress whole, the stream's end is missing): its product is joined only
// once the stream has ended.
TEST_F(StationTest, ACompressedArrivalIsWholeOnceItsStreamEnds) {
    const TestProduct growing{"WV_062___"}, other{"IR_108___"};
    growing.Write(in, {1, 2, 3, 4, 5, 6, 7});
    const std::string last = in + "/" + growing.Name(8) + ".bz2";
    const std::vector<uint8_t> compressed = Compress(growing.File(8), Compression::Bzip2);
    WriteFile(last, {compressed.begin(), compressed.end() - 4});
    auto watch = Start({"--timeout", "60"});
    WriteStored(other, in, {Compression::Xz, Compression::Gzip});
    ASSERT_TRUE(OutputAppears(other)) << watch->Log();
    EXPECT_EQ(Output(other), other.Joined(kAll));
    EXPECT_FALSE(fs::exists(OutPath(growing))) << "joined before segment 8's stream ended";
    WriteFile(last, compressed);
    ASSERT_TRUE(OutputAppears(growing)) << watch->Log();
    EXPECT_EQ(Output(growing), growing.Joined(kAll));
    EXPECT_EQ(watch->Stop(SIGTERM), 0);
    EXPECT_THAT(watch->Log(), ::testing::Not(HasSubstr("incomplete")));
}

}  // namespace
}  // namespace segweld::station
