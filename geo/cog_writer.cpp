#include "geo/cog_writer.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_frmts.h>

#include <memory>
#include <mutex>
#include <string>

#include "geo/output_file_vsi.h"
#include "geo/raster_dataset.h"
#include "os/processor_count.h"

namespace segweld::geo {
namespace {

// GDAL's block cache: small, so that the whole run stays well under 128 MiB
// (GDAL and its libraries take about 30 MiB before any image is read). The
// raster is handed to GDAL a strip of tile rows at a time from its own
// buffer, never through the cache.
constexpr int64_t kBlockCacheBytes = 2 << 20;
constexpr int kTileSize = 512;
// DEFLATE's level, chosen by measurement on real full-disk images
// (docs/performance.md): the compressor takes nearly all of a run's time, level 1
// takes a seventh of level 6's time and a half of level 2's, for calibrated
// images 10 % and counts 1 % larger than level 6 makes them.
constexpr int kDeflateLevel = 1;

void StartGdal() {
    static std::once_flag started;
    std::call_once(started, [] {
        // Only the two drivers used: registering all of them costs time and
        // memory for nothing.
        GDALRegister_GTiff();
        GDALRegister_COG();
        GDALSetCacheMax64(kBlockCacheBytes);
    });
}

// GDAL's progress callback: FALSE makes GDAL stop.
int CPL_STDCALL GoOn(double done, const char*, void* progress) {
    const auto& call = *static_cast<const WriteProgress*>(progress);
    return !call || call(done) ? TRUE : FALSE;
}

// Collects the failures GDAL reports on this thread while it lives, and
// keeps them off standard error.
class GdalFailures {
  public:
    GdalFailures() { CPLPushErrorHandlerEx(&Collect, this); }
    ~GdalFailures() { CPLPopErrorHandler(); }
    GdalFailures(const GdalFailures&) = delete;
    GdalFailures& operator=(const GdalFailures&) = delete;

    // Throws GeoTiffError naming `what` when GDAL reported a failure or `ok`
    // is false.
    void Check(bool ok, const std::string& what) {
        if (ok && first_.empty()) {
            return;
        }
        throw GeoTiffError(what + (first_.empty() ? "" : ": " + first_));
    }

  private:
    static void CPL_STDCALL Collect(CPLErr level, CPLErrorNum, const char* message) {
        auto* self = static_cast<GdalFailures*>(CPLGetErrorHandlerUserData());
        if ((level == CE_Failure || level == CE_Fatal) && self->first_.empty()) {
            self->first_ = message ? message : "unknown failure";
        }
    }

    std::string first_;
};

class Options {
  public:
    void Add(const std::string& item) { list_ = CSLAddString(list_, item.c_str()); }
    ~Options() { CSLDestroy(list_); }
    char** get() const { return list_; }

  private:
    char** list_ = nullptr;
};

GDALDataType PixelType(const RasterRows& rows) {
    if (rows.calibrated()) {
        return GDT_Float32;
    }
    return rows.bitsPerPixel() <= 8 ? GDT_Byte : GDT_UInt16;
}

}  // namespace

void WriteCloudOptimizedGeoTiff(RasterRows& rows, const RasterDescription& description,
                                os::HiddenOutput& output, const WriteProgress& progress) {
    WriteCloudOptimizedGeoTiff({{&rows, description.band, {}}}, description, output, progress);
}

void WriteCloudOptimizedGeoTiff(const std::vector<GeoTiffBand>& bands,
                                const RasterDescription& description, os::HiddenOutput& output,
                                const WriteProgress& progress) {
    if (bands.empty()) {
        throw GeoTiffError("no band to write");
    }
    RasterRows& rows = *bands.front().rows;
    for (const GeoTiffBand& band : bands) {
        if (band.rows->width() != rows.width() || band.rows->height() != rows.height() ||
            band.rows->calibrated() != rows.calibrated() ||
            PixelType(*band.rows) != PixelType(rows)) {
            throw GeoTiffError("the bands of one GeoTIFF differ in size or pixel type");
        }
    }
    StartGdal();
    GdalFailures failures;
    GDALDriverH cog = GDALGetDriverByName("COG");
    failures.Check(cog != nullptr, "this GDAL has no COG driver");

    RasterDataset source(bands, description, PixelType(rows), kTileSize);
    const GdalOutputFile file(output);
    // Calibrated values are at most 2^bits distinct floats: without the
    // floating-point predictor, which scatters their bytes, they compress
    // smaller and faster.
    Options options;
    options.Add("COMPRESS=DEFLATE");
    options.Add("LEVEL=" + std::to_string(kDeflateLevel));
    options.Add(rows.calibrated() ? "PREDICTOR=NO" : "PREDICTOR=YES");
    options.Add("BLOCKSIZE=" + std::to_string(kTileSize));
    options.Add("OVERVIEWS=FORCE_USE_EXISTING");
    options.Add("BIGTIFF=IF_SAFER");
    options.Add("NUM_THREADS=" + std::to_string(os::UsableProcessorCount()));

    bool stopped = false;
    const WriteProgress goOn = [&](double done) {
        stopped = progress && !progress(done);
        return !stopped;
    };
    GDALDatasetH written =
        GDALCreateCopy(cog, file.name().c_str(), GDALDataset::ToHandle(&source), FALSE,
                       options.get(), GoOn, const_cast<WriteProgress*>(&goOn));
    if (written != nullptr) {
        GDALClose(written);
    }
    if (stopped) {
        throw WriteStopped();
    }
    if (source.failure()) {
        std::rethrow_exception(source.failure());
    }
    if (!file.failure().empty()) {
        throw os::OutputError(file.failure());
    }
    failures.Check(written != nullptr, "cannot write " + output.finalPath());
}

}  // namespace segweld::geo
