// segweld --netcdf read back with the NetCDF library: the GeoTIFF's pixels on
// the GeoTIFF's place, described after CF; and a failed run leaves the
// folder as it was.
#include <gdal.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <csignal>
#include <filesystem>

#include "geo/netcdf_writer.h"
#include "geo/segment_pixels.h"
#include "join/join_segments.h"
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

// A NetCDF file opened for reading: its variables' values and attributes.
class NetCdfFile {
  public:
    explicit NetCdfFile(const std::string& path) {
        EXPECT_EQ(nc_open(path.c_str(), NC_NOWRITE, &id_), NC_NOERR) << path;
    }
    ~NetCdfFile() { nc_close(id_); }
    NetCdfFile(const NetCdfFile&) = delete;
    NetCdfFile& operator=(const NetCdfFile&) = delete;

    int Variable(const std::string& name) const {
        int variable = -2;
        EXPECT_EQ(nc_inq_varid(id_, name.c_str(), &variable), NC_NOERR) << name;
        return variable;
    }
    nc_type Type(const std::string& name) const {
        nc_type type = NC_NAT;
        nc_inq_vartype(id_, Variable(name), &type);
        return type;
    }
    // Every value of the variable.
    std::vector<double> Values(const std::string& name) const {
        const int variable = Variable(name);
        int dimensions[2] = {}, count = 0;
        nc_inq_varndims(id_, variable, &count);
        nc_inq_vardimid(id_, variable, dimensions);
        size_t size = 1;
        for (int i = 0; i < count; ++i) {
            size_t length = 0;
            nc_inq_dimlen(id_, dimensions[i], &length);
            size *= length;
        }
        std::vector<double> values(size);
        EXPECT_EQ(nc_get_var_double(id_, variable, values.data()), NC_NOERR) << name;
        return values;
    }
    // The text attribute `attribute` of `name` ("" for the file's own).
    std::string Text(const std::string& name, const char* attribute) const {
        const int variable = name.empty() ? NC_GLOBAL : Variable(name);
        size_t length = 0;
        if (nc_inq_attlen(id_, variable, attribute, &length) != NC_NOERR) {
            return "(none)";
        }
        std::string text(length, '\0');
        nc_get_att_text(id_, variable, attribute, text.data());
        return text;
    }

  private:
    int id_ = -1;
};

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

bool SameValue(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
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
        const NetCdfFile file(NetCdfPath(run));
        const std::string& name = row.product.channel;
        const std::string channel = name.substr(0, name.find_last_not_of('_') + 1);
        EXPECT_EQ(file.Type(channel), row.type);
        const std::vector<double> pixels = file.Values(channel);
        ASSERT_EQ(pixels.size(), expected.size());
        EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), expected.begin(), SameValue));
        // The first and the last pixel centres, across and down.
        const std::vector<double> xs = file.Values("x"), ys = file.Values("y");
        EXPECT_NEAR(xs.front() * kHeight, gt[0] + 0.5 * gt[1], 1e-6);
        EXPECT_NEAR(ys.back() * kHeight, gt[3] + (ys.size() - 0.5) * gt[5], 1e-6);
        EXPECT_EQ(file.Text(channel, "standard_name"), row.standardName);
        EXPECT_EQ(file.Text(channel, "units"), row.units);
        EXPECT_EQ(file.Text(channel, "grid_mapping"), "geostationary");
        EXPECT_EQ(file.Text("x", "standard_name"), "projection_x_angular_coordinate");
        EXPECT_EQ(file.Text("", "segments_joined"), "1-3");
    }
}

// A batch writes several NetCDF files at once, its workers sharing the
// library: each file holds what the single run writes of its product.
TEST(NetCdf, ABatchWritesItsFilesAtOnceAsSingleRunsDo) {
    const char* channels[] = {"IR_108", "WV_062", "IR_134", "VIS006"};
    const test::TempFolder alone;
    GeoTiffRun batch({.columns = 3712, .lines = 464});
    const auto product = [&](const std::string& channel) {
        Product p = batch.product;
        p.channel = (channel + "_____").substr(0, 9);
        return p;
    };
    for (const char* channel : channels) {
        const Product p = product(channel);
        for (int k = 1; k <= p.planned; ++k) {
            test::WriteFile(batch.input / FileName(p, k), geotest::SegmentFile(p, k));
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
    // The ".nc" outputs are found again, up to date.
    EXPECT_THAT(test::RunProgram(SEGWELD_BIN, {"--batch", "--netcdf", batch.input.path().string(),
                                               batch.output.path().string()})
                    .err,
                HasSubstr("0 joined, 4 up to date"));
    for (const char* channel : channels) {
        SCOPED_TRACE(channel);
        const std::string name = LowerAscii(FileName(product(channel), 1) + ".nc");
        const std::vector<double> written = NetCdfFile(batch.output / name).Values(channel);
        const std::vector<double> expected = NetCdfFile(alone / name).Values(channel);
        ASSERT_EQ(written.size(), expected.size());
        EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin(), SameValue));
    }
}

// A run that fails while writing (no space, a signal) leaves nothing, and an
// older file of the name stays as it was: a disk full from the start, or once
// the file the NetCDF library defined is written and its pixels are.
TEST(NetCdf, AFailedRunLeavesTheFolderAsItWas) {
    const struct {
        const char* label;
        std::vector<std::string> shim;  // the output folder follows each variable
        int signal;
        const char* error;
    } rows[] = {
        {"full disk", {"SEGWELD_TEST_FULL_DISK="}, 0, "Cannot write the output file"},
        {"full once the file is defined",
         {"SEGWELD_TEST_FULL_DISK_AFTER=1", "SEGWELD_TEST_FULL_DISK="},
         0,
         "cannot open the NetCDF file again for its pixels"},
        {"full among the pixels",
         {"SEGWELD_TEST_FULL_DISK_AFTER=2", "SEGWELD_TEST_FULL_DISK="},
         0,
         "cannot write the pixels"},
        {"SIGTERM while writing",
         {"SEGWELD_TEST_SIGNAL=15", "SEGWELD_TEST_SIGNAL_WRITES="},
         SIGTERM,
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const GeoTiffRun run({});
        std::vector<std::string> shim;
        const std::vector<uint8_t> old = {'o', 'l', 'd'};
        test::WriteFile(NetCdfPath(run), old);
        for (const std::string& variable : row.shim) {
            shim.push_back(variable.back() == '=' ? variable + run.output.path().string()
                                                  : variable);
        }
        const test::ProgramResult result =
            run.Segweld({"--netcdf"}, {.environment = test::FaultShim(shim)});
        if (row.signal != 0) {
            EXPECT_EQ(result.signal, row.signal) << result.err;
        } else {
            EXPECT_EQ(result.exitCode, 1) << result.err;
            EXPECT_THAT(result.err, HasSubstr(std::string("no NetCDF written: ") + row.error));
            EXPECT_THAT(result.err, HasSubstr("No space left on device"));
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
        const NetCdfFile file(NetCdfPath(run));
        EXPECT_EQ(file.Text("IR_108", "calibration_coefficients"), row.coefficients);
        // Segment 1's first stored pixel, the south-eastern one, is the last.
        const float count = StoredCount(run.product, 1, 0, 0);
        const float offset = row.slope * static_cast<float>(test::kCalibrationOffsetCounts);
        EXPECT_FLOAT_EQ(static_cast<float>(file.Values("IR_108").back()),
                        std::max(0.0f, count * row.slope + offset));
    }
}

// A product of segment files made in code, described as an image with its
// segments open, as segweld --netcdf does before writing.
struct OpenedProduct {
    explicit OpenedProduct(const Product& p, std::optional<geo::Quantity> quantity) : run(p) {
        auto fields = std::make_shared<geo::DecompressedFields>();
        const std::string first = run.input / FileName(p, 1);
        const JoinReport walk = WalkAsJoin(first, {}, [&](const SegmentVisit& visit) {
            segments.push_back(
                {visit.number, visit.path, *visit.header, visit.headerLength,
                 std::make_shared<const geo::SegmentPixels>(
                     visit.sharedFile, visit.headerLength, visit.headerBytes, visit.header->lines,
                     std::min(DataFieldBytesStored(*visit.header),
                              ImageStructureBytes(*visit.header) + 1),
                     fields)});
        });
        std::vector<std::string> warnings;
        image = geo::DescribeProductImage(first, walk, segments, quantity,
                                          geo::CalibrationMode::Nominal, warnings);
        rows.emplace(image.frame, image.description.placement, image.calibration);
    }
    // The whole image as its rows give it, read anew.
    std::vector<double> Pixels() const {
        geo::RasterRows fresh(image.frame, image.description.placement, image.calibration);
        const size_t size = size_t{fresh.width()} * fresh.height();
        std::vector<float> floats(fresh.calibrated() ? size : 0);
        std::vector<uint16_t> counts(fresh.calibrated() ? 0 : size);
        if (fresh.calibrated()) {
            fresh.Fill(0, fresh.height(), std::span<float>(floats));
            return {floats.begin(), floats.end()};
        }
        fresh.Fill(0, fresh.height(), std::span<uint16_t>(counts));
        return {counts.begin(), counts.end()};
    }

    GeoTiffRun run;
    std::vector<geo::JoinedSegment> segments;
    geo::ProductImage image;
    std::optional<geo::RasterRows> rows;
};

// Products of sizes that are no multiple of the chunks', written together:
// each chunk lands on its place, edge chunks cut where the image ends, and
// each variable holds exactly its own image's rows, whatever grid it is on.
TEST(NetCdf, SeveralLayersOfAnyShapeReadBackExactly) {
    const Product wide{.columns = 700, .lines = 180};  // 700 x 540: 2 x 2 chunks
    Product hrv{.columns = 520,
                .lines = 200,
                .channel = "HRV______",
                .cfac = kHrvCfac,
                .coff = 0,
                .loff = 5566};
    hrv.epilogue =
        test::HrvWindows{.lowerNorthLine = 300, .lowerEastColumn = 11, .upperEastColumn = 3};
    Product wv = wide;
    wv.channel = "WV_062___";
    Product eightBits = wide;
    eightBits.bits = 8;
    const std::optional<geo::Quantity> counts = geo::Quantity::Counts, usual;
    const struct {
        const char* label;
        std::vector<std::pair<Product, std::optional<geo::Quantity>>> layers;
    } rows[] = {
        {"16-bit counts", {{wide, counts}}},
        {"8-bit counts", {{eightBits, counts}}},
        {"calibrated, on two grids", {{wide, usual}, {hrv, usual}, {wv, usual}}},
        {"counts and calibrated, on two grids", {{hrv, counts}, {wv, usual}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        std::vector<std::unique_ptr<OpenedProduct>> products;
        std::vector<geo::NetCdfLayer> layers;
        for (const auto& [product, quantity] : row.layers) {
            products.push_back(std::make_unique<OpenedProduct>(product, quantity));
            layers.push_back({&products.back()->image, &*products.back()->rows});
        }
        const test::TempFolder folder;
        const std::string path = folder / "slot.nc";
        os::HiddenOutput output(path);
        double last = 0;
        geo::WriteNetCdf(layers, {}, output, [&](double done) {
            EXPECT_GT(done, last);
            last = done;
            return true;
        });
        output.Commit();
        EXPECT_EQ(last, 1.0);
        const NetCdfFile file(path);
        for (const auto& product : products) {
            const std::string& channel = product->image.channel;
            SCOPED_TRACE(channel);
            const std::vector<double> expected = product->Pixels();
            const std::vector<double> written = file.Values(channel);
            ASSERT_EQ(written.size(), expected.size());
            EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin(), SameValue));
        }
    }
}

// Stopped before or while its strips are in flight, a run throws WriteStopped
// and, not committed, leaves nothing.
TEST(NetCdf, AStoppedRunLeavesNothing) {
    const Product wide{.columns = 700, .lines = 180};
    Product wv = wide;
    wv.channel = "WV_062___";
    for (const int stopAt : {1, 3}) {
        SCOPED_TRACE(stopAt);
        OpenedProduct ir(wide, std::nullopt), second(wv, std::nullopt);
        const test::TempFolder folder;
        int calls = 0;
        {
            os::HiddenOutput output(folder / "slot.nc");
            EXPECT_THROW(geo::WriteNetCdf({{&ir.image, &*ir.rows}, {&second.image, &*second.rows}},
                                          {}, output, [&](double) { return ++calls < stopAt; }),
                         geo::WriteStopped);
        }
        EXPECT_EQ(calls, stopAt);
        EXPECT_THAT(test::ListFolder(folder.path()), ::testing::IsEmpty());
    }
}

}  // namespace
}  // namespace segweld
