#pragma once

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cstdint>
#include <exception>
#include <mutex>
#include <vector>

#include "geo/cog_writer.h"
#include "geo/raster_rows.h"

namespace segweld::geo {

// Products' rasters as the bands of a GDAL dataset that no file holds: GDAL
// reads each band's rows, and those of its overviews, as the raster's rows are
// produced from the segments, a strip of rows at a time. The bands share one
// size, placement and pixel type. The overviews halve the image until
// it fits one tile and are sampled as GDAL's nearest neighbour makes them, each
// from the one before (so every overview pixel was measured). Read by one
// thread at a time.
class RasterDataset : public GDALDataset {
  public:
    // `bands` holds at least one band; `description.band` is not used.
    RasterDataset(const std::vector<GeoTiffBand>& bands, const RasterDescription& description,
                  GDALDataType type, int tileSize);

    CPLErr GetGeoTransform(double* transform) override;
    const OGRSpatialReference* GetSpatialRef() const override;

    // The first failure to produce rows (an os::ReadError), which GDAL saw as
    // a failed read; null when there was none.
    std::exception_ptr failure() const { return failure_; }

  private:
    friend class RasterBand;

    // One level: the image (0) or an overview, and the image's rows and
    // columns that its rows and columns show.
    struct Level {
        int width = 0;
        int height = 0;
        std::vector<uint32_t> rows;
        std::vector<uint32_t> columns;
    };

    // A band's rows and the strip of them at hand: rows `top` on of `level`.
    struct Strip {
        RasterRows* rows = nullptr;
        int level = -1;
        int top = 0;
        int count = 0;
        std::vector<uint8_t> pixels;
        std::vector<uint8_t> imageRow;
    };

    // The pixels of row `row` of `level` of band `band` (from 0), of the
    // raster's pixel type, from the strip of rows that holds it (produced when
    // it is not the one at hand); null, with failure_ set, when the rows could
    // not be produced.
    const uint8_t* Row(size_t band, int level, int row);
    void ProduceStrip(Strip& strip, int level, int top, int count);
    template <typename Pixel>
    void ProduceOverviewRows(Strip& strip, const Level& level, int top, int count, Pixel* out);

    std::array<double, 6> geoTransform_;
    OGRSpatialReference srs_;
    bool calibrated_;
    int pixelBytes_;
    int stripRows_;
    std::vector<Level> levels_;
    std::vector<Strip> strips_;  // one per band
    std::exception_ptr failure_;
    std::mutex mutex_;
};

}  // namespace segweld::geo
