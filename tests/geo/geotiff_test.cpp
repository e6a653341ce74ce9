// segweld --geotiff on products built in code, read back with GDAL.
#include <cpl_conv.h>
#include <gdal.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ogr_srs_api.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <optional>
#include <regex>
#include <thread>

#include "geo/image_entry.h"
#include "join/dissemination_name.h"
#include "join/output_name.h"
#include "os/process.h"
#include "tests/geo/geo_products.h"
#include "tests/support/background.h"
#include "tests/support/header_builder.h"
#include "tests/support/product_files.h"
#include "tests/support/prologue_data.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace segweld {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using namespace geotest;

constexpr double kNoData = -1e30;  // stands for NaN among the expected values

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
        description = GDALGetDescription(band);
        unit = GDALGetRasterUnitType(band);
        int scaled = 0;
        scale = GDALGetRasterScale(band, &scaled);
        offset = GDALGetRasterOffset(band, nullptr);
        GDALGetGeoTransform(d, gt.data());
        char* proj4 = nullptr;
        OSRExportToProj4(GDALGetSpatialRef(d), &proj4);
        crs = proj4 ? proj4 : "";
        CPLFree(proj4);
        for (const char* key :
             {"CHANNEL", "SEGMENTS_JOINED", "SEGMENTS_MISSING", "SEGMENTS_NOT_JOINED",
              "SEGMENTS_FILLED", "GEOREFERENCING_OFFSET", "NOMINAL_TIME", "SATELLITE", "PLATFORM",
              "CALIBRATION", "TIFFTAG_DATETIME", "HRV_WINDOWS"}) {
            tags[key] = GDALGetMetadataItem(d, key, nullptr) ?: "";
        }
        layout = GDALGetMetadataItem(d, "LAYOUT", "IMAGE_STRUCTURE") ?: "";
        pixels.resize(static_cast<size_t>(width) * height);
        EXPECT_EQ(GDALRasterIO(band, GF_Read, 0, 0, width, height, pixels.data(), width, height,
                               GDT_Float64, 0, 0),
                  CE_None);
        GDALClose(d);
    }

    double At(int row, int column) const { return pixels[row * width + column]; }

    int width = 0, height = 0, hasNoData = 0;
    GDALDataType type = GDT_Unknown;
    double noData = -1, scale = 1, offset = 0;
    std::string description, unit, crs, layout;
    std::array<double, 6> gt{};
    std::map<std::string, std::string> tags;
    std::vector<double> pixels;
};

using CountValue = std::function<double(int count)>;

// The raster the GeoTIFF should hold: each shown segment's pixels, north up
// and east right, as `value` makes them of their counts; kNoData elsewhere,
// and, among calibrated values (which have none for count 0), on unusable lines.
std::vector<double> ExpectedPixels(const Product& p, const std::vector<int>& shown,
                                   const CountValue& value) {
    const int width = IsHrv(p) ? kHrvGrid : p.columns, height = p.planned * p.lines;
    const bool calibrated = std::isnan(value(0));
    std::vector<double> pixels(static_cast<size_t>(width) * height, kNoData);
    for (int k : shown) {
        for (int j = 0; j < p.lines; ++j) {
            const int stored = (k - 1) * p.lines + j;
            const bool unusable = k == 2 && std::ranges::count(p.unusable, j) == 1;
            const int east = IsHrv(p) ? HrvEastColumn(*p.epilogue, stored) : 1;
            for (int c = 0; c < p.columns; ++c) {
                const double v = value(StoredCount(p, k, j, c));
                pixels[(height - 1 - stored) * width + width - east - c] =
                    (unusable && calibrated) || std::isnan(v) ? kNoData : v;
            }
        }
    }
    return pixels;
}

// Compares every pixel, within `tolerance` of the expected value.
void ExpectPixels(const GeoTiff& tif, const std::vector<double>& expected, double relative,
                  double absolute) {
    ASSERT_EQ(tif.pixels.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const double got = tif.pixels[i];
        if (expected[i] == kNoData) {
            ASSERT_TRUE(std::isnan(got) || got == tif.noData) << "pixel " << i << ": " << got;
        } else {
            ASSERT_NEAR(got, expected[i], relative * std::fabs(expected[i]) + absolute)
                << "row " << i / tif.width << " column " << i % tif.width;
        }
    }
}

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
        const char* segments = "1-3|none|none|none";  // joined, missing, not joined, filled
        const char* refusal = nullptr;
        // The result line: what became of the product, its segments, its end.
        std::array<const char*, 3> outcome{"joined", "3 segments", ""};
    } rows[] = {
        {"9.5 east", {.bits = 8, .projection = "GEOS(+009.5)"}, "+lon_0=9.5 "},
        {"75 west", {.projection = "GEOS(-075.0)", .coff = 3, .loff = 1}, "+lon_0=-75 "},
        {"HRV sampling",
         {.bits = 12, .projection = "GEOS(+041.5)", .cfac = kHrvCfac, .coff = 5566, .loff = 5566},
         "+lon_0=41.5 "},
        {"offset in the data", {.bits = 16, .earthModel = 1}},
        {"no prologue", {.earthModel = 0}},
        {"gap",
         {},
         "+lon_0=0 ",
         {1, 3},
         {1},
         {},
         "1|2|3|none",
         nullptr,
         {"incomplete", "1 segment", "; missing 2; not joined 3"}},
        {"gap filled",
         {},
         "+lon_0=0 ",
         {1, 3},
         {1, 3},
         {"--fill-gaps"},
         "1, 3|2|none|2",
         nullptr,
         {"incomplete", "2 segments", "; missing 2; filled 2"}},
        {"segment 1 refused",
         {},
         "+lon_0=0 ",
         {2, 3},
         {2, 3},
         {},
         "2-3|none|1|none",
         nullptr,
         {"incomplete", "2 segments", "; not joined 1"}},
        {"stored compressed, prologue too, segment 2 plain",
         {.earthModel = 1, .storedAs = unpack::Compression::Bzip2}},
        {.label = "compressed", .p = {.compression = 1}, .refusal = "compressed"},
        {.label = "not image data", .p = {.fileType = 2}, .refusal = "not image data"},
        {.label = "no GEOS", .p = {.projection = "POLAR"}, .refusal = "not a geostationary"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const Product& p = row.p;
        const GeoTiffRun run(p, row.written);
        if (row.written[0] != 1) {
            test::WriteFile(run.input / FileName(p, 1), {'j', 'u', 'n', 'k'});
        }
        std::vector<std::string> options = row.options;
        const std::string plainWarnings = run.Segweld(options).err;
        const std::vector<std::string> before = test::ListFolder(run.output.path());
        options.insert(options.end(), {"--geotiff", "--calibration", "counts"});
        const test::ProgramResult result = run.Segweld(options);
        if (row.refusal) {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_THAT(result.err, HasSubstr(row.refusal));
            EXPECT_EQ(test::ListFolder(run.output.path()), before);
            continue;
        }
        ASSERT_EQ(result.exitCode, 0) << result.err;
        // With a prologue, the plain join's warnings only, then the result line.
        const auto [status, count, end] = row.outcome;
        EXPECT_THAT(result.err,
                    ::testing::AllOf(HasSubstr(p.earthModel == 0 ? "no prologue" : plainWarnings),
                                     ::testing::EndsWith(" -> " + run.GeoTiffPath() + end + "\n")));
        EXPECT_THAT(result.err,
                    HasSubstr((p.earthModel == 0 ? "" : plainWarnings) + "segweld: " + status +
                              " " + MaskedName(FileName(p, 1)) + ": " + count + ", "));
        const GeoTiff tif(run.GeoTiffPath());
        EXPECT_EQ(tif.layout, "COG");
        EXPECT_EQ(tif.type, p.bits == 8 ? GDT_Byte : GDT_UInt16);
        EXPECT_TRUE(tif.hasNoData && tif.noData == 0);
        ASSERT_EQ(tif.width, p.columns);
        ExpectPixels(tif, ExpectedPixels(p, row.shown, [](int count) { return count; }), 0, 0);
        EXPECT_EQ(tif.tags.at("CHANNEL") + " " + tif.tags.at("SATELLITE") + " " +
                      tif.tags.at("NOMINAL_TIME") + " " + tif.tags.at("SEGMENTS_JOINED") + "|" +
                      tif.tags.at("SEGMENTS_MISSING") + "|" + tif.tags.at("SEGMENTS_NOT_JOINED") +
                      "|" + tif.tags.at("SEGMENTS_FILLED"),
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

// The expected values, from the prologue's calibration and MSG1's published
// constants: radiance, IR_108's brightness temperature, and reflectance at
// the epilogue's scan start, 15 June 2007 12:00:10.5.
double Radiance(int channelId, int count) {
    const double slope = test::kCalibrationSlope[channelId - 1];
    return count == 0 ? NAN : std::max(0.0, slope * (count + test::kCalibrationOffsetCounts));
}

double Radiance108(int count) {
    return Radiance(9, count);
}

double Bt108(int count) {
    const double vc = 930.647, t = 1.43877523 * vc /
                                   std::log(1.19104273e-5 * vc * vc * vc / Radiance108(count) + 1);
    return (t - 0.625) / 0.9983;
}

template <int kChannelId>
double Reflectance(int count) {
    const double irradiance = kChannelId == 1 ? 65.2296 : 78.7599;  // VIS006, HRV
    const double days = ((18062 - 4383) * 86400.0 + 43210.5 - 946728000.0) / 86400;
    const double distance = 1 - 0.0167 * std::cos(2 * std::numbers::pi * (days - 3) / 365.25636);
    return std::numbers::pi * Radiance(kChannelId, count) * 100 / irradiance * distance * distance;
}

double Counts(int count) {
    return count;
}

// The values of counts 1000 to 1023, 0 and 1 to 47 (clipped to radiance 0)
// follow the prologue's calibration; lines the line quality record marks
// unusable and count 0 are nodata among calibrated values. The band says
// what it holds.
TEST(GeoTiff, CalibratedValuesFollowThePrologue) {
    const Product ir{.epilogue = test::HrvWindows{}, .firstCount = 1000, .unusable = {1, 3}};
    Product vis = ir, hrv = ir;
    vis.channel = "VIS006___";
    hrv.channel = "HRV______";
    hrv.cfac = kHrvCfac;
    hrv.coff = 0;
    hrv.loff = 5566;
    hrv.epilogue =
        test::HrvWindows{.lowerNorthLine = 6, .lowerEastColumn = 11, .upperEastColumn = 3};
    const std::string radiance = "mW m-2 sr-1 (cm-1)-1";
    const struct {
        Product p;
        std::vector<std::string> options;
        CountValue value;
        std::string band, unit;
    } rows[] = {
        {ir, {}, Bt108, "IR_108 (10.8 um) brightness temperature", "K"},
        {ir, {"--calibration=radiance"}, Radiance108, "IR_108 (10.8 um) radiance", radiance},
        {vis, {}, Reflectance<1>, "VIS006 (0.635 um) reflectance", "%"},
        {hrv, {}, Reflectance<12>, "HRV (0.7 um) reflectance", "%"},
        {ir, {"--calibration", "counts"}, Counts, "IR_108 (10.8 um) counts", radiance},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.band);
        const GeoTiffRun run(row.p);
        std::vector<std::string> options = row.options;
        options.push_back("--geotiff");
        const test::ProgramResult result = run.Segweld(options);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_THAT(result.err, ::testing::StartsWith("segweld: joined "));
        EXPECT_THAT(result.err, Not(HasSubstr("warning")));
        const GeoTiff tif(run.GeoTiffPath());
        const bool counts = row.band.ends_with("counts");
        EXPECT_EQ(tif.type, counts ? GDT_UInt16 : GDT_Float32);
        EXPECT_TRUE(tif.hasNoData && (counts ? tif.noData == 0 : std::isnan(tif.noData)));
        EXPECT_EQ(tif.description, row.band);
        EXPECT_EQ(tif.unit, row.unit);
        EXPECT_EQ(tif.tags.at("CALIBRATION"), row.band.substr(row.band.find(')') + 2));
        EXPECT_EQ(tif.tags.at("PLATFORM") + " " + tif.tags.at("TIFFTAG_DATETIME"),
                  "Meteosat-8 2007:06:15 12:00:00");
        if (counts) {  // radiance = scale * count + offset
            EXPECT_EQ(tif.scale, test::kCalibrationSlope[8]);
            EXPECT_EQ(tif.offset, test::kCalibrationSlope[8] * test::kCalibrationOffsetCounts);
        }
        EXPECT_EQ(tif.tags.at("HRV_WINDOWS"),
                  IsHrv(row.p) ? "placed by the epilogue's actual HRV coverage" : "");
        ExpectPixels(tif, ExpectedPixels(row.p, {1, 2, 3}, row.value), 1e-5,
                     row.unit == "K" ? 0.01 : 1e-6);
    }
}

// A calibration the channel does not have is refused, a bad one is a bad
// argument; where the prologue cannot give the calibration, or a foreign
// satellite's channel has none known, the GeoTIFF holds counts and a warning
// says why. The prologue of a satellite that MSG disseminates keeps its
// channel in its name.
TEST(GeoTiff, CalibrationsThatCannotBeGivenAreRefusedOrWarnedOf) {
    Product hrv{.channel = "HRV______", .cfac = kHrvCfac, .coff = 4000, .loff = 5566};
    Product hrvBeyondGrid = hrv;
    hrvBeyondGrid.epilogue = test::HrvWindows{.lowerEastColumn = 11135};
    const Product goes{.channel = "00_7_075W", .source = "GOES11", .foreignPrologue = true};
    Product goesAlone = goes;
    goesAlone.earthModel = 0;
    const std::string noPrologue =
        "brightness temperature (the default for IR_108) was asked for, but there is no "
        "prologue H-000-MSG1__-MSG1________-_________-PRO______-200706151200-__ (nor "
        "H-000-MSG1__-MSG1________-IR_108___-PRO______-200706151200-__, plain or compressed)";
    const std::string goesNoPrologue =
        "there is no prologue H-000-MSG1__-GOES11______-_________-PRO______-200706151200-__ "
        "(nor H-000-MSG1__-GOES11______-00_7_075W-PRO______-200706151200-__, plain or compressed)";
    const std::string goesBt =
        "brightness temperature was asked for, but 00_7_075W of GOES11 is not a SEVIRI channel";
    const std::vector<std::string> bt = {"--calibration", "bt"},
                                   counts = {"--calibration", "counts"},
                                   radiance = {"--calibration", "radiance"};
    const struct {
        Product p;
        std::vector<std::string> options;
        int exitCode;
        std::string message;  // in standard error; "!..." for one that must not appear
        std::string calibration = "counts";
    } rows[] = {
        {{}, {"--calibration", "reflectance"}, 1, "IR_108 has no reflectance"},
        {{.channel = "VIS006___"}, bt, 1, "VIS006 has no brightness temperature"},
        {{}, {"--calibration", "kelvin"}, 2, "--calibration takes counts, radiance, reflectance"},
        {{.earthModel = 0}, {}, 0, noPrologue},
        {{.earthModel = 0}, counts, 0, "!was asked for"},
        {{.prologue = {.radianceType = 0}}, {}, 0, "radiance type 0 for IR_108, neither 1"},
        {{.prologue = {.satelliteId = 55}}, radiance, 0, "its satellite id is 55, not 321 to 324"},
        {goes, {}, 0, "!prologue"},
        {goes, bt, 0, goesBt},
        {goesAlone, {}, 0, goesNoPrologue},
        {hrv, radiance, 0, "there is no epilogue", "radiance"},
        {hrvBeyondGrid, radiance, 0, "does not fit the HRV grid", "radiance"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        const GeoTiffRun run(row.p);
        std::vector<std::string> options = row.options;
        options.push_back("--geotiff");
        const test::ProgramResult result = run.Segweld(options);
        EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
        if (row.message.starts_with("!")) {
            EXPECT_THAT(result.err, Not(HasSubstr(row.message.substr(1))));
        } else {
            EXPECT_THAT(result.err, HasSubstr(row.message));
        }
        if (row.exitCode != 0) {
            EXPECT_EQ(test::ListFolder(run.output.path()).size(), 0u);
            continue;
        }
        const GeoTiff tif(run.GeoTiffPath());
        EXPECT_EQ(tif.tags.at("CALIBRATION"), row.calibration);
        if (IsHrv(row.p)) {
            EXPECT_EQ(tif.tags.at("HRV_WINDOWS"), "placed by each segment's column offset");
            const int east = 5567 - row.p.coff;  // the navigation's window, every segment
            EXPECT_FALSE(std::isnan(tif.At(0, kHrvGrid - east)));
            EXPECT_TRUE(std::isnan(tif.At(0, kHrvGrid - east + 1)));
        }
        if (row.p.foreignPrologue) {
            EXPECT_THAT(tif.tags.at("GEOREFERENCING_OFFSET"),
                        HasSubstr(row.p.earthModel ? "not applicable" : "unknown"));
        }
    }
}

// The station modes' entry writes products on several threads at once and
// reports what it did without printing.
TEST(GeoTiff, TheModuleEntryWritesProductsOnSeveralThreads) {
    std::string error;
    const auto module = os::LoadedModule::Load(SEGWELD_GEOTIFF_MODULE, error);
    ASSERT_NE(module, nullptr) << error;
    const auto write = reinterpret_cast<geo::WriteProductImageEntry>(
        module->Symbol(geo::kWriteProductImageEntryName));
    ASSERT_NE(write, nullptr);
    const GeoTiffRun gap({}, {1, 3}), vis({.channel = "VIS006___", .earthModel = 0});
    geo::ImageReport reports[2];
    geo::ImageRequest requests[2];
    requests[0].segmentPath = gap.input / FileName(gap.product, 1);
    requests[0].outputFolder = gap.output.path().string();
    requests[0].fillGaps = true;
    requests[1].segmentPath = vis.input / FileName(vis.product, 1);
    requests[1].outputFolder = vis.output.path().string();
    requests[1].calibration = geo::Quantity::Radiance;
    std::thread first([&] { write(requests[0], reports[0]); });
    std::thread second([&] { write(requests[1], reports[1]); });
    first.join();
    second.join();
    EXPECT_EQ(reports[0].outputPath, gap.GeoTiffPath());
    EXPECT_EQ(reports[0].quantity, geo::Quantity::BrightnessTemperature);
    EXPECT_EQ(reports[0].segmentsJoined, std::vector<int32_t>({1, 3}));
    EXPECT_EQ(reports[0].segmentsMissing, std::vector<int32_t>({2}));
    EXPECT_EQ(reports[0].segmentsFilled, std::vector<int32_t>({2}));
    EXPECT_EQ(reports[1].outputPath, vis.GeoTiffPath());
    EXPECT_EQ(reports[1].quantity, geo::Quantity::Counts);
    EXPECT_THAT(reports[1].warnings,
                ::testing::Contains(HasSubstr("radiance was asked for, but there is no")));
    EXPECT_EQ(GeoTiff(vis.GeoTiffPath()).tags.at("CALIBRATION"), "counts");
}

// An older GeoTIFF, or the file a symbolic link of its name leads to (in the
// input folder here), is replaced keeping its mode, and the link stays. A run
// stopped during the walk or while the GeoTIFF is written ends by its signal
// and leaves both folders as they were.
TEST(GeoTiff, AnOlderGeoTiffIsReplacedWholeOrNotAtAll) {
    const std::tuple<bool, std::string, int> rows[] = {
        // link, the fault shim's stop ("OUT" stands for the output folder), its signal
        {false, "SEGWELD_TEST_SIGNAL_OPENS=", 0},
        {true, "SEGWELD_TEST_SIGNAL_OPENS=", 0},
        {true, "SEGWELD_TEST_SIGNAL_OPENS=-000002___", SIGINT},
        {false, "SEGWELD_TEST_SIGNAL_WRITES=OUT", SIGTERM}};
    for (const auto& [link, stopAt, signal] : rows) {
        SCOPED_TRACE(stopAt + (link ? " link" : ""));
        const GeoTiffRun run({});
        const std::string stop =
            std::regex_replace(stopAt, std::regex("OUT"), run.output.path().string());
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

namespace segweld {
namespace {

// --batch and --watch make each product's GeoTIFF, as the single command does,
// under the rules of a join: up to date until a file of the product changes
// (its epilogue too), and --then gets the GeoTIFF.
TEST(GeoTiff, StationModesMakeEachProductsGeoTiff) {
    const GeoTiffRun run({});
    const std::string in = run.input.path().string(), out = run.output.path().string();
    const auto batch = [&] {
        return test::RunProgram(SEGWELD_BIN, {"--batch", in, out, "--geotiff", "-v"}).err;
    };
    EXPECT_THAT(batch(), HasSubstr("1 joined, 0 up to date"));
    const test::TempFolder alone;
    const test::ProgramResult single = test::RunProgram(
        SEGWELD_BIN, {"--geotiff", run.input / FileName(run.product, 1), alone.path().string()});
    ASSERT_EQ(single.exitCode, 0) << single.err;
    EXPECT_EQ(test::ReadFile(run.GeoTiffPath()),
              test::ReadFile(alone / LowerAscii(FileName(run.product, 1) + ".tif")));
    EXPECT_THAT(batch(), HasSubstr("0 joined, 1 up to date"));
    const std::string epilogue = FileName(run.product, 0, "EPI");
    test::WriteFile(run.input / epilogue, Companion(epilogue, 129, test::EpilogueData({})));
    EXPECT_THAT(batch(), HasSubstr("1 joined, 0 up to date")) << "its epilogue came";

    std::filesystem::remove(run.GeoTiffPath());
    const std::string told = run.output / "then.txt";
    test::Background watch({SEGWELD_BIN, "--watch", in, out, "--geotiff", "--then", "sh", "-c",
                            "echo \"$1\" > " + told, "sh", "{}"},
                           run.output / "watch.log");
    ASSERT_TRUE(test::WaitUntil([&] { return std::filesystem::exists(told); })) << watch.Log();
    EXPECT_EQ(test::Text(told), run.GeoTiffPath() + "\n");
}

}  // namespace
}  // namespace segweld
