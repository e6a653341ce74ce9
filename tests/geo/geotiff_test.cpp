// segweld --geotiff on products built in code, read back with GDAL.
#include <cpl_conv.h>
#include <gdal.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ogr_srs_api.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <map>

#include "join/output_name.h"
#include "tests/support/header_builder.h"
#include "tests/support/product_files.h"
#include "tests/support/prologue_data.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace segweld {
namespace {

using test::kPrologueDataBytes;
using ::testing::HasSubstr;

constexpr int32_t kCfac = -13642337;  // MSG's VIS/IR sampling

struct Product {
    uint16_t columns = 6, lines = 4;
    uint8_t bits = 10;
    int planned = 3;
    std::string channel = "IR_108___";
    uint8_t fileType = 0, compression = 0;
    std::string projection = "GEOS(+000.0)";
    int32_t cfac = kCfac, coff = 1856;
    int32_t loff = 1856;  // of segment 1; each later one counts `lines` fewer
    int earthModel = 2;   // 0: no prologue
};

// The count stored at column c (0-based, east first) of line j of segment k.
uint16_t StoredCount(const Product& p, int k, int j, int c) {
    return static_cast<uint16_t>((1 + ((k - 1) * p.lines + j) * p.columns + c) % (1 << p.bits));
}

// A segment file of `p`: its header, then its counts packed big-endian.
std::vector<uint8_t> SegmentFile(const Product& p, int k) {
    std::vector<uint8_t> data((p.columns * p.lines * p.bits + 7) / 8, 0);
    for (uint64_t bit = 0, pixel = 0; pixel < uint64_t{p.columns} * p.lines; ++pixel) {
        const uint16_t count = StoredCount(p, k, pixel / p.columns, pixel % p.columns);
        for (int b = p.bits - 1; b >= 0; --b, ++bit) {
            data[bit / 8] |= static_cast<uint8_t>(((count >> b) & 1) << (7 - bit % 8));
        }
    }
    std::vector<uint8_t> bytes =
        test::HeaderBuilder()
            .Primary(p.fileType, 8 * data.size())
            .ImageStructure(p.bits, p.columns, p.lines, p.compression)
            .Navigation(p.projection, p.cfac, p.cfac, p.coff, p.loff - p.lines * (k - 1))
            .Annotation(test::SegmentFileName(k, p.channel))
            .TimeStamp(18062, 43200000)
            .MsgSegmentIdentification(321, 9, static_cast<uint16_t>(k), 1,
                                      static_cast<uint16_t>(p.planned), 3)
            .Build();
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// A product's segments and its prologue in a folder, and the program run on them.
struct GeoTiffRun {
    explicit GeoTiffRun(const Product& p, const std::vector<int>& numbers = {1, 2, 3})
        : product(p) {
        for (int k : numbers) {
            test::WriteFile(input / test::SegmentFileName(k, p.channel), SegmentFile(p, k));
        }
        const std::string name = "H-000-MSG1__-MSG1________-_________-PRO______-200706151200-__";
        std::vector<uint8_t> bytes = test::RealPrologueHeader(name, 128, 8 * kPrologueDataBytes);
        const std::vector<uint8_t> data = test::PrologueData(static_cast<uint8_t>(p.earthModel));
        bytes.insert(bytes.end(), data.begin(), data.end());
        if (p.earthModel != 0)
            test::WriteFile(input / name, bytes);
    }

    // segweld with `options` on segment 1 of the product.
    test::ProgramResult Segweld(std::vector<std::string> options,
                                const test::RunOptions& how = {}) const {
        options.push_back(input / test::SegmentFileName(1, product.channel));
        options.push_back(output.path().string());
        return test::RunProgram(SEGWELD_BIN, options, how);
    }

    std::string GeoTiffPath() const {
        return output / LowerAscii(test::SegmentFileName(1, product.channel) + ".tif");
    }

    Product product;
    test::TempFolder input, output;
};

// What the tests look at in a GeoTIFF.
struct GeoTiff {
    explicit GeoTiff(const std::string& path) {
        GDALAllRegister();
        GDALDatasetH d = GDALOpen(path.c_str(), GA_ReadOnly);
        if (!d) {
            ADD_FAILURE() << "GDAL cannot open " << path;
            return;
        }
        GDALRasterBandH band = GDALGetRasterBand(d, 1);
        width = GDALGetRasterXSize(d);
        height = GDALGetRasterYSize(d);
        type = GDALGetRasterDataType(band);
        noData = GDALGetRasterNoDataValue(band, &hasNoData);
        GDALGetGeoTransform(d, gt.data());
        char* proj4 = nullptr;
        OSRExportToProj4(GDALGetSpatialRef(d), &proj4);
        crs = proj4 ? proj4 : "";
        CPLFree(proj4);
        for (const char* key : {"CHANNEL", "SEGMENTS_JOINED", "SEGMENTS_MISSING", "SEGMENTS_FILLED",
                                "GEOREFERENCING_OFFSET", "NOMINAL_TIME", "SATELLITE"}) {
            tags[key] = GDALGetMetadataItem(d, key, nullptr) ?: "";
        }
        layout = GDALGetMetadataItem(d, "LAYOUT", "IMAGE_STRUCTURE") ?: "";
        pixels.resize(static_cast<size_t>(width) * height);
        EXPECT_EQ(GDALRasterIO(band, GF_Read, 0, 0, width, height, pixels.data(), width, height,
                               GDT_UInt16, 0, 0),
                  CE_None);
        GDALClose(d);
    }

    uint16_t At(int row, int column) const { return pixels[row * width + column]; }

    int width = 0, height = 0, hasNoData = 0;
    GDALDataType type = GDT_Unknown;
    double noData = -1;
    std::array<double, 6> gt{};
    std::string crs, layout;
    std::map<std::string, std::string> tags;
    std::vector<uint16_t> pixels;
};

// Each row also holds the counts of one packing. Stored column COFF and line
// LOFF (1-based, from the east and the south) hold the sub-satellite point,
// moved by the georeferencing offset that the prologue's earth model says is
// still in the data (none without a prologue). Segments not joined are nodata,
// filled ones keep their place, and the first joined segment places the whole
// product, whichever it is. Products that cannot be georeferenced leave the
// output folder as it was.
TEST(GeoTiff, PixelsAndPlaceFollowThePackingTheNavigationAndThePrologue) {
    // By earth model: the tag, and how far the data lies south-east.
    const std::pair<const char*, double> offsets[] = {
        {"unknown", 0}, {"not corrected", 1500}, {"corrected in the data", 0}};
    const struct {
        const char* label;
        Product p;
        const char* lon0 = "+lon_0=0 ";
        std::vector<int> written{1, 2, 3}, shown{1, 2, 3};
        std::vector<std::string> options{};
        const char* segments = "1-3|none|none";  // joined, missing, filled
        const char* refusal = nullptr;
    } rows[] = {
        {"9.5 east", {.bits = 8, .projection = "GEOS(+009.5)"}, "+lon_0=9.5 "},
        {"75 west", {.projection = "GEOS(-075.0)", .coff = 3, .loff = 1}, "+lon_0=-75 "},
        {"HRV sampling",
         {.bits = 12, .projection = "GEOS(+041.5)", .cfac = -40927014, .coff = 5566, .loff = 5566},
         "+lon_0=41.5 "},
        {"offset in the data", {.bits = 16, .earthModel = 1}},
        {"no prologue", {.earthModel = 0}},
        {"gap", {}, "+lon_0=0 ", {1, 3}, {1}, {}, "1|2-3|none"},
        {"gap filled", {}, "+lon_0=0 ", {1, 3}, {1, 3}, {"--fill-gaps"}, "1, 3|2|2"},
        {"segment 1 refused", {}, "+lon_0=0 ", {2, 3}, {2, 3}, {}, "2-3|1|none"},
        {.label = "HRV", .p = {.channel = "HRV______"}, .refusal = "HRV"},
        {.label = "compressed", .p = {.compression = 1}, .refusal = "compressed"},
        {.label = "not image data", .p = {.fileType = 2}, .refusal = "not image data"},
        {.label = "no GEOS", .p = {.projection = "POLAR"}, .refusal = "not a geostationary"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const Product& p = row.p;
        const GeoTiffRun run(p, row.written);
        if (row.written[0] != 1) {
            test::WriteFile(run.input / test::SegmentFileName(1), {'j', 'u', 'n', 'k'});
        }
        std::vector<std::string> options = row.options;
        const std::string plainWarnings = run.Segweld(options).err;
        const std::vector<std::string> before = test::ListFolder(run.output.path());
        options.push_back("--geotiff");
        const test::ProgramResult result = run.Segweld(options);
        if (row.refusal) {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_THAT(result.err, HasSubstr(row.refusal));
            EXPECT_EQ(test::ListFolder(run.output.path()), before);
            continue;
        }
        ASSERT_EQ(result.exitCode, 0) << result.err;
        // With a prologue, the plain join's warnings only.
        EXPECT_THAT(result.err, p.earthModel == 0 ? HasSubstr("no prologue")
                                                  : ::testing::Matcher<std::string>(plainWarnings));
        const GeoTiff tif(run.GeoTiffPath());
        EXPECT_EQ(tif.layout, "COG");
        EXPECT_EQ(tif.type, p.bits == 8 ? GDT_Byte : GDT_UInt16);
        EXPECT_TRUE(tif.hasNoData && tif.noData == 0);
        ASSERT_EQ(tif.width, p.columns);
        ASSERT_EQ(tif.height, p.planned * p.lines);
        // Stored line 0 of segment 1 (the south) is the bottom row; stored
        // column 0 (the east) the rightmost.
        for (int y = 0; y < tif.height; ++y) {
            const int stored = tif.height - 1 - y, k = 1 + stored / p.lines;
            const bool shown = std::ranges::count(row.shown, k) == 1;
            for (int x = 0; x < tif.width; ++x) {
                ASSERT_EQ(tif.At(y, x),
                          shown ? StoredCount(p, k, stored % p.lines, p.columns - 1 - x) : 0)
                    << "row " << y << " column " << x;
            }
        }
        EXPECT_EQ(tif.tags.at("CHANNEL") + " " + tif.tags.at("SATELLITE") + " " +
                      tif.tags.at("NOMINAL_TIME") + " " + tif.tags.at("SEGMENTS_JOINED") + "|" +
                      tif.tags.at("SEGMENTS_MISSING") + "|" + tif.tags.at("SEGMENTS_FILLED"),
                  std::string("IR_108 MSG1 2007-06-15T12:00:00Z ") + row.segments);
        // +rf: b = 6356583.8
        EXPECT_THAT(tif.crs, ::testing::AllOf(HasSubstr("+proj=geos "), HasSubstr(row.lon0),
                                              HasSubstr("+h=35785831 "), HasSubstr("+a=6378169 "),
                                              HasSubstr("+rf=295.48806")));
        // At the sub-satellite point, as published.
        const double pixelMetres = p.cfac == kCfac ? 3000.403 : 1000.134;
        EXPECT_NEAR(tif.gt[1], pixelMetres, 0.001);
        EXPECT_NEAR(tif.gt[5], -pixelMetres, 0.001);
        const auto [offsetTag, shift] = offsets[p.earthModel];
        EXPECT_THAT(tif.tags.at("GEOREFERENCING_OFFSET"), HasSubstr(offsetTag));
        // The centres of stored column COFF and line LOFF, in projection coordinates.
        EXPECT_NEAR(tif.gt[0] + (tif.width - p.coff + 0.5) * tif.gt[1], shift, 1e-3) << "east";
        EXPECT_NEAR(tif.gt[3] + (tif.height - p.loff + 0.5) * tif.gt[5], -shift, 1e-3) << "south";
    }
}

// An older GeoTIFF, or the file a symbolic link of its name leads to (in the
// input folder here), is replaced keeping its mode, and the link stays. A run
// stopped during the join or while GDAL writes ends by its signal and leaves
// both folders as they were.
TEST(GeoTiff, AnOlderGeoTiffIsReplacedWholeOrNotAtAll) {
    const std::tuple<bool, const char*, int> rows[] = {
        // link, the fault shim's stop, its signal
        {false, "SEGWELD_TEST_SIGNAL_OPENS=", 0},
        {true, "SEGWELD_TEST_SIGNAL_OPENS=", 0},
        {false, "SEGWELD_TEST_SIGNAL_COPIES=-000002___", SIGINT},
        {true, "SEGWELD_TEST_SIGNAL_OPENS=/raster.tif", SIGTERM}};
    for (const auto& [link, stop, signal] : rows) {
        SCOPED_TRACE(std::string(stop) + (link ? " link" : ""));
        const GeoTiffRun run({});
        const std::string old = link ? run.input / "old.tif" : run.GeoTiffPath();
        test::WriteFile(old, {'o', 'l', 'd'});
        std::filesystem::permissions(old, std::filesystem::perms(0640));
        if (link) {
            std::filesystem::create_symlink(old, run.GeoTiffPath());
        }
        const std::string sent = "SEGWELD_TEST_SIGNAL=" + std::to_string(signal);
        EXPECT_EQ(run.Segweld({"--geotiff"}, {.environment = test::FaultShim({stop, sent})}).signal,
                  signal);
        EXPECT_EQ(test::ReadFile(old).size() == 3, signal != 0);
        EXPECT_EQ(std::filesystem::is_symlink(run.GeoTiffPath()), link);
        EXPECT_EQ(std::filesystem::status(old).permissions(), std::filesystem::perms(0640));
        // Three segments, the prologue, and the GeoTIFF or the link and its target.
        EXPECT_EQ(
            test::ListFolder(run.input.path()).size() + test::ListFolder(run.output.path()).size(),
            link ? 6u : 5u);
    }
}

}  // namespace
}  // namespace segweld
