// The GeoTIFFs of a set of products against what an earlier build wrote of
// the same products: their layout (what gdalinfo reports of them, bar the
// file's name and the program's version) and the pixels of the image and of
// each overview, each kept as a 64-bit digest in geotiff_digests.txt, which says
// how the digests were made. With SEGWELD_PRINT_DIGESTS=1 the test prints
// the digests of what the program (SEGWELD_DIGESTS_PROGRAM, else this
// build's segweld) writes instead of comparing them.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <gdal_utils.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>

#include "tests/geo/geo_products.h"

namespace segweld {
namespace {

using namespace geotest;

constexpr int kRowsAtATime = 512;

// FNV-1a, 64 bits.
class Digest {
  public:
    void Add(const void* data, size_t size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i) {
            hash_ = (hash_ ^ bytes[i]) * 1099511628211ull;
        }
    }
    void Add(const std::string& text) { Add(text.data(), text.size()); }
    std::string Hex() const {
        char text[20];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
        return text;
    }

  private:
    uint64_t hash_ = 14695981039346656037ull;
};

// Every pixel of `band`, row by row, as stored.
void AddPixels(GDALRasterBandH band, Digest& digest) {
    const int width = GDALGetRasterBandXSize(band), height = GDALGetRasterBandYSize(band);
    const GDALDataType type = GDALGetRasterDataType(band);
    const int bytes = GDALGetDataTypeSizeBytes(type);
    std::vector<uint8_t> rows(static_cast<size_t>(width) * kRowsAtATime * bytes);
    for (int top = 0; top < height; top += kRowsAtATime) {
        const int count = std::min(kRowsAtATime, height - top);
        ASSERT_EQ(GDALRasterIO(band, GF_Read, 0, top, width, count, rows.data(), width, count, type,
                               0, 0),
                  CE_None);
        digest.Add(rows.data(), static_cast<size_t>(width) * count * bytes);
    }
}

// "LAYOUT PIXELS": the digests of the GeoTIFF's layout (gdalinfo -json, bar
// the file's name and the program's version) and of its pixels.
std::string Digests(const std::string& path, std::string& layout) {
    GDALAllRegister();
    CPLPushErrorHandler(CPLQuietErrorHandler);  // no longitudes beyond the disk
    GDALDatasetH dataset = GDALOpen(path.c_str(), GA_ReadOnly);
    if (dataset == nullptr) {
        CPLPopErrorHandler();
        return "unreadable";
    }
    char* json[] = {const_cast<char*>("-json"), nullptr};
    GDALInfoOptions* options = GDALInfoOptionsNew(json, nullptr);
    char* info = GDALInfo(dataset, options);
    layout = std::regex_replace(std::regex_replace(info, std::regex(path), "FILE"),
                                std::regex("Segweld [0-9.]+"), "Segweld VERSION");
    CPLFree(info);
    GDALInfoOptionsFree(options);
    Digest pixels;
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    AddPixels(band, pixels);
    for (int i = 0; i < GDALGetOverviewCount(band); ++i) {
        AddPixels(GDALGetOverview(band, i), pixels);
    }
    GDALClose(dataset);
    CPLPopErrorHandler();
    Digest layoutDigest;
    layoutDigest.Add(layout);
    return layoutDigest.Hex() + " " + pixels.Hex();
}

std::map<std::string, std::string> ExpectedDigests() {
    std::map<std::string, std::string> digests;
    std::ifstream file(SEGWELD_GEOTIFF_DIGESTS);
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line[0] != '#') {
            const size_t blank = line.find(' ');
            digests[line.substr(0, blank)] = line.substr(blank + 1);
        }
    }
    return digests;
}

std::string Program() {
    const char* other = std::getenv("SEGWELD_DIGESTS_PROGRAM");
    return other != nullptr ? other : SEGWELD_BIN;
}

// Runs `segweld --geotiff OPTIONS FIRST OUT` and checks (or prints) the digests
// of the one GeoTIFF it writes.
void Check(const std::string& name, const std::string& first, std::vector<std::string> options) {
    SCOPED_TRACE(name);
    static const std::map<std::string, std::string> expected = ExpectedDigests();
    const test::TempFolder out;
    options.insert(options.begin(), "--geotiff");
    options.insert(options.end(), {first, out.path().string()});
    const test::ProgramResult result = test::RunProgram(Program().c_str(), options);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> written = test::ListFolder(out.path());
    ASSERT_EQ(written.size(), 1u);
    std::string layout;
    const std::string digests = Digests(out / written[0], layout);
    if (std::getenv("SEGWELD_PRINT_DIGESTS") != nullptr) {
        std::printf("%s %s\n", name.c_str(), digests.c_str());
        return;
    }
    ASSERT_EQ(expected.count(name), 1u);
    EXPECT_EQ(digests, expected.at(name)) << "layout now:\n" << layout;
}

// Products built in code: packings, channels, quantities, both HRV windows,
// gaps with and without --fill-gaps, the companions missing or foreign.
TEST(GeoTiffRegression, ProductsBuiltInCode) {
    const Product ir{.epilogue = test::HrvWindows{}, .firstCount = 1000, .unusable = {1, 3}};
    Product vis = ir, hrv = ir;
    vis.channel = "VIS006___";
    hrv.channel = "HRV______";
    hrv.cfac = kHrvCfac;
    hrv.coff = 0;
    hrv.loff = 5566;
    hrv.epilogue =
        test::HrvWindows{.lowerNorthLine = 6, .lowerEastColumn = 11, .upperEastColumn = 3};
    Product hrvAlone = hrv;
    hrvAlone.epilogue.reset();
    hrvAlone.coff = 4000;
    const Product goes{.channel = "00_7_075W", .source = "GOES11", .foreignPrologue = true};
    const struct {
        const char* name;
        Product p;
        std::vector<std::string> options;
        std::vector<int> numbers{1, 2, 3};
    } rows[] = {
        {"ir-bt", ir, {}},
        {"ir-radiance", ir, {"--calibration", "radiance"}},
        {"ir-counts", ir, {"--calibration", "counts"}},
        {"vis-reflectance", vis, {}},
        {"hrv-reflectance", hrv, {}},
        {"hrv-counts", hrv, {"--calibration", "counts"}},
        {"hrv-navigation", hrvAlone, {"--calibration", "radiance"}},
        {"byte-9.5-east", {.bits = 8, .projection = "GEOS(+009.5)"}, {}},
        {"uint16-offset-in-data", {.bits = 16, .earthModel = 1}, {}},
        {"gap", ir, {"--calibration", "counts"}, {1, 3}},
        {"gap-filled", ir, {"--fill-gaps"}, {1, 3}},
        {"no-prologue", {.earthModel = 0}, {}},
        {"goes", goes, {}},
    };
    for (const auto& row : rows) {
        const GeoTiffRun run(row.p, row.numbers);
        Check(row.name, run.input / FileName(row.p, 1), row.options);
    }
}

// Products of the sample tool: full-width images of real size.
TEST(GeoTiffRegression, SampleProducts) {
    const struct {
        const char* name;
        std::vector<std::string> sample, options;
    } rows[] = {
        {"sample-ir108-bt", {"--segments", "2"}, {}},
        {"sample-ir039-spectral-bt",
         {"--channel", "IR_039", "--satellite", "MSG3", "--spectral-radiance", "--segments", "2"},
         {}},
        {"sample-vis006-counts",
         {"--channel", "VIS006", "--segments", "2"},
         {"--calibration", "counts"}},
    };
    for (const auto& row : rows) {
        const test::TempFolder in;
        std::vector<std::string> sample = row.sample;
        sample.push_back(in.path().string());
        const test::ProgramResult made = test::RunProgram(SEGWELD_SAMPLE, sample);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        Check(row.name, made.out.substr(0, made.out.find('\n')), row.options);
    }
}

// The real MSG2 files, on the full grid: IR_108 segments 4 and 5 and HRV
// segments 12 and 13 (SEGWELD_REALDATA, else shared/realdata beside the
// repository's folder).
TEST(GeoTiffRegression, RealProducts) {
    namespace fs = std::filesystem;
    const char* named = std::getenv("SEGWELD_REALDATA");
    const fs::path folder =
        named ? fs::path(named) : fs::path(SEGWELD_SOURCE_DIR).parent_path() / "shared/realdata";
    const std::string ir = "H-000-MSG2__-MSG2________-IR_108___-000004___-201010111400-__";
    const std::string hrv = "H-000-MSG2__-MSG2________-HRV______-000012___-201010111400-__";
    if (!fs::exists(folder / ir)) {
        GTEST_SKIP() << "no real MSG2 files in " << folder;
    }
    Check("real-ir108-bt", (folder / ir).string(), {"--fill-gaps"});
    Check("real-ir108-counts", (folder / ir).string(), {"--fill-gaps", "--calibration", "counts"});
    Check("real-hrv-reflectance", (folder / hrv).string(), {"--fill-gaps"});
}

}  // namespace
}  // namespace segweld
