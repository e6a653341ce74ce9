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

// The product's raster as a GDAL dataset that no file holds: GDAL reads its
// rows, and those of its overviews, as the raster's rows are produced from
// the segments, a strip of rows at a time. The overviews halve the image until
// it fits one tile and are sampled as GDAL's nearest neighbour makes them, each
// from the one before (so every overview pixel was measured). Read by one
// thread at a time.
class RasterDataset : public GDALDataset {
  public:
    RasterDataset(RasterRows& rows, const RasterDescription& description, GDALDataType type,
                  int tileSize);

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

    // The pixels of row `row` of `level`, of the raster's pixel type, from the
    // strip of rows that holds it (produced when it is not the one at hand);
    // null, with failure_ set, when the rows could not be produced.
    const uint8_t* Row(int level, int row);
    void ProduceStrip(int level, int top, int count);
    template <typename Pixel>
    void ProduceOverviewRows(const Level& level, int top, int count, Pixel* out);

    RasterRows& rows_;
    std::array<double, 6> geoTransform_;
    OGRSpatialReference srs_;
    bool calibrated_;
    int pixelBytes_;
    int stripRows_;
    std::vector<Level> levels_;
    // The strip at hand: rows `stripTop_` on of level `stripLevel_`.
    int stripLevel_ = -1;
    int stripTop_ = 0;
    int stripCount_ = 0;
    std::vector<uint8_t> strip_;
    std::vector<uint8_t> imageRow_;
    std::exception_ptr failure_;
    std::mutex mutex_;
};

}  // namespace segweld::geo
