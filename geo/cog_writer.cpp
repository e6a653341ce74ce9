#include "geo/cog_writer.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_frmts.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <mutex>
#include <vector>

#include "geo/packed_lines.h"
#include "hrit/big_endian_reader.h"
#include "os/native_path.h"

namespace segweld::geo {
namespace {

// GDAL's block cache and the source lines it reads at a time to make an
// overview: small, so that the whole run stays under 64 MiB (GDAL and its
// libraries take more than half of that before any image is read). The
// temporary raster's tiles are small enough for a row of them (a full-disk IR
// image is 15 tiles wide) to fit the cache; the GeoTIFF's are COG's usual.
constexpr int64_t kBlockCacheBytes = 2 << 20;
constexpr const char* kOverviewChunkBytes = "1000000";
constexpr const char* kTemporaryTileSize = "256";
constexpr int kTileSize = 512;
// Pixels unpacked and handed to GDAL at a time.
constexpr uint64_t kBatchPixels = 1 << 18;

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

GDALDataType PixelType(uint32_t bitsPerPixel) {
    return bitsPerPixel <= 8 ? GDT_Byte : GDT_UInt16;
}

// Copies the counts of the segment files into `band`, a batch of lines at a time.
class CountCopier {
  public:
    CountCopier(const ProductFrame& frame, const RasterPlacement& placement, GDALRasterBandH band,
                const StopRequest& stopRequested)
        : frame_(frame), placement_(placement), band_(band), stopRequested_(stopRequested) {}

    void CopySegment(const SegmentPlace& place, GdalFailures& failures) {
        segment_ = std::ifstream(os::PathOf(place.path), std::ios::binary);
        if (!segment_) {
            throw GeoTiffError("cannot read segment " + place.path);
        }
        const uint32_t columns = frame_.navigation.columns;
        const uint32_t batch = static_cast<uint32_t>(std::max<uint64_t>(1, kBatchPixels / columns));
        for (uint32_t line = 0; line < frame_.linesPerSegment; line += batch) {
            if (stopRequested_()) {
                throw GeoTiffError("stopped");
            }
            const uint32_t count = std::min(batch, frame_.linesPerSegment - line);
            CopyLines(place, line, count, failures);
        }
    }

  private:
    void CopyLines(const SegmentPlace& place, uint32_t line, uint32_t count,
                   GdalFailures& failures) {
        const uint32_t columns = frame_.navigation.columns;
        const uint64_t lineBits = uint64_t{columns} * frame_.bitsPerPixel;
        const uint64_t firstBit = line * lineBits;
        const uint64_t firstByte = firstBit / 8;
        const uint64_t lastByte = (firstBit + count * lineBits + 7) / 8;
        packed_.assign(lastByte - firstByte, 0);
        segment_.clear();
        segment_.seekg(static_cast<std::streamoff>(place.dataOffset + firstByte));
        segment_.read(reinterpret_cast<char*>(packed_.data()),
                      static_cast<std::streamsize>(packed_.size()));
        if (segment_.bad()) {
            throw GeoTiffError("cannot read segment " + place.path);
        }

        pixels_.resize(uint64_t{count} * columns);
        const BigEndianReader reader(packed_.data(), packed_.size());
        for (uint32_t i = 0; i < count; ++i) {
            // Row i of the batch, top to bottom in the raster.
            const uint32_t stored = placement_.reverseLines ? count - 1 - i : i;
            UnpackLine(reader, firstBit % 8 + stored * lineBits, frame_.bitsPerPixel,
                       placement_.reverseColumns,
                       std::span(pixels_.data() + uint64_t{i} * columns, columns));
        }
        const uint32_t storedLine = place.firstLine + line;
        const uint32_t topRow =
            placement_.reverseLines ? frame_.navigation.lines - storedLine - count : storedLine;
        const CPLErr result =
            GDALRasterIO(band_, GF_Write, 0, static_cast<int>(topRow), static_cast<int>(columns),
                         static_cast<int>(count), pixels_.data(), static_cast<int>(columns),
                         static_cast<int>(count), GDT_UInt16, 0, 0);
        failures.Check(result == CE_None, "cannot write the image's lines");
    }

    const ProductFrame& frame_;
    const RasterPlacement& placement_;
    GDALRasterBandH band_;
    const StopRequest& stopRequested_;
    std::ifstream segment_;
    std::vector<uint8_t> packed_;
    std::vector<uint16_t> pixels_;
};

void Describe(GDALDatasetH dataset, const RasterDescription& description, GdalFailures& failures) {
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
    failures.Check(GDALSetRasterNoDataValue(band, 0) == CE_None, "cannot set the nodata value");
    for (const auto& [key, value] : description.tags) {
        GDALSetMetadataItem(dataset, key.c_str(), value.c_str(), nullptr);
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
                                const std::string& workFolder, const std::string& cogPath,
                                const StopRequest& stopRequested) {
    StartGdal();
    GdalFailures failures;
    GDALDriverH gtiff = GDALGetDriverByName("GTiff");
    GDALDriverH cog = GDALGetDriverByName("COG");
    failures.Check(gtiff && cog, "this GDAL has no GTiff or COG driver");

    const std::string rasterPath = workFolder + "/raster.tif";
    const std::string tileWidth = std::string("BLOCKXSIZE=") + kTemporaryTileSize;
    const std::string tileHeight = std::string("BLOCKYSIZE=") + kTemporaryTileSize;
    const Options rasterOptions{"TILED=YES", tileWidth.c_str(), tileHeight.c_str(),
                                "SPARSE_OK=TRUE", "BIGTIFF=IF_NEEDED"};
    Dataset raster(GDALCreate(gtiff, rasterPath.c_str(), static_cast<int>(frame.navigation.columns),
                              static_cast<int>(frame.navigation.lines), 1,
                              PixelType(frame.bitsPerPixel), rasterOptions.get()));
    failures.Check(raster != nullptr, "cannot create the temporary raster " + rasterPath);
    Describe(raster.get(), description, failures);
    {
        CountCopier copier(frame, description.placement, GDALGetRasterBand(raster.get(), 1),
                           stopRequested);
        for (const SegmentPlace& place : frame.places) {
            copier.CopySegment(place, failures);
        }
    }

    BuildOverviews(raster.get(), stopRequested, failures);

    const std::string blockSize = "BLOCKSIZE=" + std::to_string(kTileSize);
    const Options cogOptions{"COMPRESS=DEFLATE", "PREDICTOR=YES", blockSize.c_str(),
                             "OVERVIEWS=FORCE_USE_EXISTING", "BIGTIFF=IF_SAFER"};
    Dataset output(GDALCreateCopy(cog, cogPath.c_str(), raster.get(), FALSE, cogOptions.get(), GoOn,
                                  ProgressData(stopRequested)));
    failures.Check(output != nullptr, "cannot write " + cogPath);
    Close(output, failures, "cannot finish " + cogPath);
    Close(raster, failures, "cannot finish the temporary raster " + rasterPath);
}

}  // namespace segweld::geo
