// segweld --netcdf read back with the NetCDF library: the GeoTIFF's pixels on
// the GeoTIFF's place, described after CF; and a failed run leaves the
// folder as it was.
#include <gdal.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "tests/geo/geo_products.h"

namespace segweld {
namespace {

namespace fs = std::filesystem;
using namespace geotest;
using ::testing::HasSubstr;

constexpr double kHeight = 35785831.0;

std::string NetCdfPath(const GeoTiffRun& run) {
    return run.output / LowerAscii(FileName(run.product, 1) + ".nc");
}

std::string TextAttribute(int file, int variable, const char* name) {
    size_t length = 0;
    if (nc_inq_attlen(file, variable, name, &length) != NC_NOERR) {
        return "(none)";
    }
    std::string text(length, '\0');
    nc_get_att_text(file, variable, name, text.data());
    return text;
}

// The pixels of the GeoTIFF's band as floats, and its geotransform.
std::vector<float> GeoTiffPixels(const std::string& path, double geoTransform[6]) {
    GDALAllRegister();
    GDALDatasetH dataset = GDALOpen(path.c_str(), GA_ReadOnly);
    EXPECT_NE(dataset, nullptr) << path;
    if (dataset == nullptr) {
        return {};
    }
    const int width = GDALGetRasterXSize(dataset), height = GDALGetRasterYSize(dataset);
    std::vector<float> pixels(static_cast<size_t>(width) * height);
    GDALGetGeoTransform(dataset, geoTransform);
    EXPECT_EQ(GDALRasterIO(GDALGetRasterBand(dataset, 1), GF_Read, 0, 0, width, height,
                           pixels.data(), width, height, GDT_Float32, 0, 0),
              CE_None);
    GDALClose(dataset);
    return pixels;
}

bool SameValue(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

// Every quantity, packing and placement: the NetCDF variable holds the
// GeoTIFF's values, its x and y are the GeoTIFF's pixel centres in radians,
// and it says what it holds.
TEST(NetCdf, HoldsTheGeoTiffsPixelsOnItsPlace) {
    Product hrv{.channel = "HRV______", .cfac = kHrvCfac, .coff = 0, .loff = 5566};
    hrv.epilogue =
        test::HrvWindows{.lowerNorthLine = 6, .lowerEastColumn = 11, .upperEastColumn = 3};
    const struct {
        const char* label;
        Product product;
        const char* calibration;
        nc_type type;
        const char* standardName;
        const char* units;
    } rows[] = {
        {"counts", {}, "counts", NC_USHORT, "(none)", "1"},
        {"8-bit counts", {.bits = 8}, "counts", NC_UBYTE, "(none)", "1"},
        {"brightness temperature", {}, "bt", NC_FLOAT, "toa_brightness_temperature", "K"},
        {"radiance",
         {},
         "radiance",
         NC_FLOAT,
         "toa_outgoing_radiance_per_unit_wavenumber",
         "mW m-2 sr-1 (cm-1)-1"},
        {"reflectance, offset not corrected",
         {.channel = "VIS006___", .earthModel = 1},
         "reflectance",
         NC_FLOAT,
         "toa_bidirectional_reflectance",
         "%"},
        {"HRV windows", hrv, "reflectance", NC_FLOAT, "toa_bidirectional_reflectance", "%"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const GeoTiffRun run(row.product);
        for (const char* format : {"--geotiff", "--netcdf"}) {
            const test::ProgramResult result =
                run.Segweld({format, "--calibration", row.calibration});
            ASSERT_EQ(result.exitCode, 0) << result.err;
        }
        double gt[6] = {};
        const std::vector<float> expected = GeoTiffPixels(run.GeoTiffPath(), gt);
        int file = -1, variable = -1, x = -1, y = -1;
        ASSERT_EQ(nc_open(NetCdfPath(run).c_str(), NC_NOWRITE, &file), NC_NOERR);
        const std::string& name = row.product.channel;
        const std::string channel = name.substr(0, name.find_last_not_of('_') + 1);
        ASSERT_EQ(nc_inq_varid(file, channel.c_str(), &variable), NC_NOERR) << channel;
        nc_type type = NC_NAT;
        nc_inq_vartype(file, variable, &type);
        EXPECT_EQ(type, row.type);
        std::vector<float> pixels(expected.size());
        ASSERT_EQ(nc_get_var_float(file, variable, pixels.data()), NC_NOERR);
        size_t differing = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            differing += SameValue(pixels[i], expected[i]) ? 0 : 1;
        }
        EXPECT_EQ(differing, 0u) << "of " << pixels.size();
        ASSERT_EQ(nc_inq_varid(file, "x", &x), NC_NOERR);
        ASSERT_EQ(nc_inq_varid(file, "y", &y), NC_NOERR);
        size_t width = 0, height = 0;
        int dimensions[2] = {};
        nc_inq_vardimid(file, variable, dimensions);
        nc_inq_dimlen(file, dimensions[0], &height);
        nc_inq_dimlen(file, dimensions[1], &width);
        ASSERT_EQ(width * height, pixels.size());
        std::vector<double> xs(width), ys(height);
        nc_get_var_double(file, x, xs.data());
        nc_get_var_double(file, y, ys.data());
        for (const size_t i : {size_t{0}, width - 1}) {
            EXPECT_NEAR(xs[i] * kHeight, gt[0] + (i + 0.5) * gt[1], 1e-6) << i;
        }
        for (const size_t j : {size_t{0}, height - 1}) {
            EXPECT_NEAR(ys[j] * kHeight, gt[3] + (j + 0.5) * gt[5], 1e-6) << j;
        }
        EXPECT_EQ(TextAttribute(file, variable, "standard_name"), row.standardName);
        EXPECT_EQ(TextAttribute(file, variable, "units"), row.units);
        EXPECT_EQ(TextAttribute(file, variable, "grid_mapping"), "geostationary");
        EXPECT_EQ(TextAttribute(file, x, "standard_name"), "projection_x_angular_coordinate");
        EXPECT_EQ(TextAttribute(file, NC_GLOBAL, "segments_joined"), "1-3");
        nc_close(file);
    }
}

// The variable `channel` of the NetCDF file at `path`, as floats.
std::vector<float> NetCdfPixels(const std::string& path, const std::string& channel) {
    int file = -1, variable = -1, dimensions[2] = {};
    size_t height = 0, width = 0;
    EXPECT_EQ(nc_open(path.c_str(), NC_NOWRITE, &file), NC_NOERR) << path;
    EXPECT_EQ(nc_inq_varid(file, channel.c_str(), &variable), NC_NOERR) << channel;
    nc_inq_vardimid(file, variable, dimensions);
    nc_inq_dimlen(file, dimensions[0], &height);
    nc_inq_dimlen(file, dimensions[1], &width);
    std::vector<float> pixels(height * width);
    EXPECT_EQ(nc_get_var_float(file, variable, pixels.data()), NC_NOERR);
    nc_close(file);
    return pixels;
}

// A batch writes several NetCDF files at once, its workers sharing the
// library: each file holds what the single run writes of its product.
TEST(NetCdf, ABatchWritesItsFilesAtOnceAsSingleRunsDo) {
    const char* channels[] = {"IR_108", "WV_062", "IR_134", "VIS006"};
    const test::TempFolder alone;
    GeoTiffRun batch({.columns = 3712, .lines = 464});
    for (const char* channel : channels) {
        Product p = batch.product;
        p.channel = (std::string(channel) + "_____").substr(0, 9);
        for (int k = 1; k <= p.planned; ++k) {
            test::WriteFile(batch.input / FileName(p, k), SegmentFile(p, k));
        }
        const test::ProgramResult single = test::RunProgram(
            SEGWELD_BIN, {"--netcdf", batch.input / FileName(p, 1), alone.path().string()});
        ASSERT_EQ(single.exitCode, 0) << single.err;
    }
    const test::ProgramResult result =
        test::RunProgram(SEGWELD_BIN, {"--batch", "--netcdf", "-j", "4",
                                       batch.input.path().string(), batch.output.path().string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::ListFolder(batch.output.path()).size(), std::size(channels));
    for (const char* channel : channels) {
        SCOPED_TRACE(channel);
        Product p = batch.product;
        p.channel = (std::string(channel) + "_____").substr(0, 9);
        const std::string name = LowerAscii(FileName(p, 1) + ".nc");
        const std::vector<float> written = NetCdfPixels(batch.output / name, channel);
        const std::vector<float> expected = NetCdfPixels(alone / name, channel);
        ASSERT_EQ(written.size(), expected.size());
        EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin(), SameValue));
    }
}

// A run that fails while writing (no space, a signal) leaves nothing, and an
// older file of the name stays as it was.
TEST(NetCdf, AFailedRunLeavesTheFolderAsItWas) {
    const struct {
        const char* label;
        std::vector<std::string> shim;  // the output folder follows each variable
        int exitCode;
        int signal;
    } rows[] = {
        {"full disk", {"SEGWELD_TEST_FULL_DISK="}, 1, 0},
        {"SIGTERM while writing",
         {"SEGWELD_TEST_SIGNAL=15", "SEGWELD_TEST_SIGNAL_WRITES="},
         -1,
         SIGTERM},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const GeoTiffRun run({});
        const std::vector<uint8_t> old = {'o', 'l', 'd'};
        test::WriteFile(NetCdfPath(run), old);
        std::vector<std::string> shim;
        for (const std::string& variable : row.shim) {
            shim.push_back(variable.back() == '=' ? variable + run.output.path().string()
                                                  : variable);
        }
        const test::ProgramResult result =
            run.Segweld({"--netcdf"}, {.environment = test::FaultShim(shim)});
        if (row.signal != 0) {
            EXPECT_EQ(result.signal, row.signal) << result.err;
        } else {
            EXPECT_EQ(result.exitCode, row.exitCode);
            EXPECT_THAT(
                result.err,
                HasSubstr(
                    "no NetCDF written: cannot create the NetCDF file: No space left on device"));
        }
        EXPECT_THAT(test::ListFolder(run.output.path()),
                    ::testing::ElementsAre(fs::path(NetCdfPath(run)).filename().string()));
        EXPECT_EQ(test::ReadFile(NetCdfPath(run)), old);
    }
}

// --calibration-mode: the nominal coefficients, or the GSICS ones where the
// prologue carries them (refused where it does not); the file says which.
TEST(NetCdf, CalibrationModeChoosesTheCoefficients) {
    constexpr int kIr108 = 9;
    const struct {
        const char* mode;
        bool gsics;  // in the prologue
        int exitCode;
        const char* coefficients;
        float slope;
    } rows[] = {
        {"nominal", true, 0, "nominal", static_cast<float>(test::kCalibrationSlope[kIr108 - 1])},
        {"gsics", true, 0, "GSICS", test::GsicsGain(kIr108)},
        {"gsics", false, 1, "", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.mode) + (row.gsics ? " with GSICS" : " without GSICS"));
        const GeoTiffRun run({.prologue = {.gsics = row.gsics}, .firstCount = 100});
        const test::ProgramResult result =
            run.Segweld({"--netcdf", "--calibration", "radiance", "--calibration-mode", row.mode});
        EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
        if (row.exitCode != 0) {
            EXPECT_THAT(result.err, HasSubstr("carries none for IR_108"));
            EXPECT_THAT(test::ListFolder(run.output.path()), ::testing::IsEmpty());
            continue;
        }
        ASSERT_EQ(run.Segweld({"--geotiff", "--calibration", "counts"}).exitCode, 0);
        double gt[6] = {};
        const std::vector<float> counts = GeoTiffPixels(run.GeoTiffPath(), gt);
        int file = -1, variable = -1;
        ASSERT_EQ(nc_open(NetCdfPath(run).c_str(), NC_NOWRITE, &file), NC_NOERR);
        ASSERT_EQ(nc_inq_varid(file, "IR_108", &variable), NC_NOERR);
        EXPECT_EQ(TextAttribute(file, variable, "calibration_coefficients"), row.coefficients);
        std::vector<float> radiances(counts.size());
        ASSERT_EQ(nc_get_var_float(file, variable, radiances.data()), NC_NOERR);
        nc_close(file);
        const float offset = row.slope * static_cast<float>(test::kCalibrationOffsetCounts);
        for (size_t i = 0; i < counts.size(); ++i) {
            EXPECT_FLOAT_EQ(radiances[i], std::max(0.0f, counts[i] * row.slope + offset))
                << "count " << counts[i];
        }
    }
}

}  // namespace
}  // namespace segweld
