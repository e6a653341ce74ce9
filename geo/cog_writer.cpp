#include "geo/cog_writer.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_frmts.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "geo/raster_rows.h"

namespace segweld::geo {
namespace {

// GDAL's block cache and the source lines it reads at a time to make an
// overview: small, so that the whole run stays well under 128 MiB (GDAL and
// its libraries take about 30 MiB before any image is read). The temporary
// raster is written a row of its tiles at a time, each tile whole, so they
// need not stay in the cache; the GeoTIFF's tiles are COG's usual.
constexpr int64_t kBlockCacheBytes = 2 << 20;
constexpr const char* kOverviewChunkBytes = "1000000";
constexpr uint32_t kTemporaryTileSize = 256;
constexpr int kTileSize = 512;

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

using StopRequest = std::function<bool()>;

// GDAL's progress callback: FALSE makes GDAL stop when a stop was requested.
int CPL_STDCALL GoOn(double, const char*, void* stopRequested) {
    return (*static_cast<const StopRequest*>(stopRequested))() ? FALSE : TRUE;
}

void* ProgressData(const StopRequest& stopRequested) {
    return const_cast<StopRequest*>(&stopRequested);
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

struct DatasetCloser {
    void operator()(GDALDatasetH dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<std::remove_pointer_t<GDALDatasetH>, DatasetCloser>;

// Closes `dataset` now, which writes out what GDAL still holds of it.
void Close(Dataset& dataset, GdalFailures& failures, const std::string& what) {
    GDALClose(dataset.release());
    failures.Check(true, what);
}

class Options {
  public:
    Options(std::initializer_list<const char*> items) {
        for (const char* item : items) {
            list_ = CSLAddString(list_, item);
        }
    }
    ~Options() { CSLDestroy(list_); }
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;
    char** get() const { return list_; }

  private:
    char** list_ = nullptr;
};

GDALDataType PixelType(const ProductFrame& frame, bool calibrated) {
    if (calibrated) {
        return GDT_Float32;
    }
    return frame.bitsPerPixel <= 8 ? GDT_Byte : GDT_UInt16;
}

// Copies the raster's rows into `band` a row of tiles at a time, so that
// every tile is written whole, once.
template <typename Pixel>
void CopyRows(RasterRows& rows, GDALRasterBandH band, GDALDataType bufferType,
              const StopRequest& stopRequested, GdalFailures& failures) {
    constexpr uint32_t kRowsAtATime = kTemporaryTileSize;
    std::vector<Pixel> pixels(uint64_t{rows.width()} * kRowsAtATime);
    for (uint32_t top = 0; top < rows.height(); top += kRowsAtATime) {
        if (stopRequested()) {
            throw GeoTiffError("stopped");
        }
        const uint32_t count = std::min(kRowsAtATime, rows.height() - top);
        const std::span<Pixel> batch(pixels.data(), uint64_t{rows.width()} * count);
        rows.Fill(top, count, batch);
        const CPLErr result =
            GDALRasterIO(band, GF_Write, 0, static_cast<int>(top), static_cast<int>(rows.width()),
                         static_cast<int>(count), batch.data(), static_cast<int>(rows.width()),
                         static_cast<int>(count), bufferType, 0, 0);
        failures.Check(result == CE_None, "cannot write the image's lines");
    }
}

void Describe(GDALDatasetH dataset, const RasterDescription& description, bool calibrated,
              GdalFailures& failures) {
    std::array<double, 6> geoTransform = description.placement.geoTransform;
    failures.Check(GDALSetGeoTransform(dataset, geoTransform.data()) == CE_None,
                   "cannot set the geotransform");
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    const bool imported =
        OSRImportFromProj4(srs, GeosProjDefinition(description.subSatelliteLongitude).c_str()) ==
        OGRERR_NONE;
    const bool set = imported && GDALSetSpatialRef(dataset, srs) == CE_None;
    OSRDestroySpatialReference(srs);
    failures.Check(set, "cannot set the geostationary projection");
    GDALRasterBandH band = GDALGetRasterBand(dataset, 1);
    const double nodata = calibrated ? std::numeric_limits<double>::quiet_NaN() : 0.0;
    failures.Check(GDALSetRasterNoDataValue(band, nodata) == CE_None,
                   "cannot set the nodata value");
    const BandDescription& about = description.band;
    GDALSetDescription(band, about.description.c_str());
    failures.Check(GDALSetRasterUnitType(band, about.unit.c_str()) == CE_None,
                   "cannot set the band's unit");
    if (about.scaled) {
        failures.Check(GDALSetRasterScale(band, about.scale) == CE_None &&
                           GDALSetRasterOffset(band, about.offset) == CE_None,
                       "cannot set the band's scale and offset");
    }
    for (const auto& [key, value] : description.tags) {
        if (!value.empty()) {
            GDALSetMetadataItem(dataset, key.c_str(), value.c_str(), nullptr);
        }
    }
}

// Overviews halve the image until it fits one tile, as the COG driver would
// make them. They are built here, uncompressed, by nearest neighbour: the COG
// driver's own way keeps them in a compressed temporary whose compressor
// alone takes tens of megabytes.
void BuildOverviews(GDALDatasetH raster, const StopRequest& stopRequested, GdalFailures& failures) {
    std::vector<int> factors;
    for (int factor = 2; GDALGetRasterXSize(raster) / (factor / 2) > kTileSize ||
                         GDALGetRasterYSize(raster) / (factor / 2) > kTileSize;
         factor *= 2) {
        factors.push_back(factor);
    }
    if (factors.empty()) {
        return;
    }
    CPLSetThreadLocalConfigOption("GDAL_OVR_CHUNK_MAX_SIZE", kOverviewChunkBytes);
    const CPLErr result =
        GDALBuildOverviews(raster, "NEAREST", static_cast<int>(factors.size()), factors.data(), 0,
                           nullptr, GoOn, ProgressData(stopRequested));
    CPLSetThreadLocalConfigOption("GDAL_OVR_CHUNK_MAX_SIZE", nullptr);
    failures.Check(result == CE_None, "cannot build the overviews");
}

}  // namespace

void WriteCloudOptimizedGeoTiff(const ProductFrame& frame, const RasterDescription& description,
                                std::vector<float> calibration, const std::string& workFolder,
                                const std::string& cogPath, const StopRequest& stopRequested) {
    StartGdal();
    GdalFailures failures;
    GDALDriverH gtiff = GDALGetDriverByName("GTiff");
    GDALDriverH cog = GDALGetDriverByName("COG");
    failures.Check(gtiff && cog, "this GDAL has no GTiff or COG driver");

    RasterRows rows(frame, description.placement, std::move(calibration));
    const std::string rasterPath = workFolder + "/raster.tif";
    const std::string tileWidth = "BLOCKXSIZE=" + std::to_string(kTemporaryTileSize);
    const std::string tileHeight = "BLOCKYSIZE=" + std::to_string(kTemporaryTileSize);
    const Options rasterOptions{"TILED=YES", tileWidth.c_str(), tileHeight.c_str(),
                                "SPARSE_OK=TRUE", "BIGTIFF=IF_NEEDED"};
    Dataset raster(GDALCreate(gtiff, rasterPath.c_str(), static_cast<int>(rows.width()),
                              static_cast<int>(rows.height()), 1,
                              PixelType(frame, rows.calibrated()), rasterOptions.get()));
    failures.Check(raster != nullptr, "cannot create the temporary raster " + rasterPath);
    Describe(raster.get(), description, rows.calibrated(), failures);
    GDALRasterBandH band = GDALGetRasterBand(raster.get(), 1);
    if (rows.calibrated()) {
        CopyRows<float>(rows, band, GDT_Float32, stopRequested, failures);
    } else {
        CopyRows<uint16_t>(rows, band, GDT_UInt16, stopRequested, failures);
    }

    BuildOverviews(raster.get(), stopRequested, failures);

    // Calibrated values are at most 2^bits distinct floats: without the
    // floating-point predictor, which scatters their bytes, they compress
    // smaller and faster.
    const std::string blockSize = "BLOCKSIZE=" + std::to_string(kTileSize);
    const Options cogOptions{"COMPRESS=DEFLATE",
                             rows.calibrated() ? "PREDICTOR=NO" : "PREDICTOR=YES",
                             blockSize.c_str(), "OVERVIEWS=FORCE_USE_EXISTING", "BIGTIFF=IF_SAFER"};
    Dataset output(GDALCreateCopy(cog, cogPath.c_str(), raster.get(), FALSE, cogOptions.get(), GoOn,
                                  ProgressData(stopRequested)));
    failures.Check(output != nullptr, "cannot write " + cogPath);
    Close(output, failures, "cannot finish " + cogPath);
    Close(raster, failures, "cannot finish the temporary raster " + rasterPath);
}

}  // namespace segweld::geo
