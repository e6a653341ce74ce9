#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "geo/geos_navigation.h"
#include "geo/product_frame.h"
#include "geo/raster_rows.h"
#include "os/file_system.h"

namespace segweld::geo {

// A failure of GDAL or of the files while writing the GeoTIFF; what() says
// what failed and GDAL's reason.
class GeoTiffError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using MetadataTags = std::vector<std::pair<std::string, std::string>>;

// What a GIS shows of the band: its description, the unit of its values
// (after scale and offset, where given) and, for counts, the linear scale
// and offset that make them radiances.
struct BandDescription {
    std::string description;
    std::string unit;
    bool scaled = false;
    double scale = 1.0;
    double offset = 0.0;
};

// What goes into the GeoTIFF besides the pixels.
struct RasterDescription {
    RasterPlacement placement;
    double subSatelliteLongitude = 0.0;
    MetadataTags tags;  // TIFFTAG_DATETIME among them becomes the baseline tag
    BandDescription band;
};

// The run was stopped by its progress callback.
class WriteStopped : public std::runtime_error {
  public:
    WriteStopped() : std::runtime_error("stopped") {}
};

// Called with the share of the writing done (0 to 1); false stops it.
using WriteProgress = std::function<bool(double done)>;

// One band of a GeoTIFF of several: the rows that fill it and what it holds.
struct GeoTiffBand {
    RasterRows* rows = nullptr;
    BandDescription description;
    MetadataTags tags;  // the band's own metadata
};

// Writes `rows` as a Cloud-Optimized GeoTIFF into `output`, which the caller
// commits: one band, north up, of counts (UInt16, Byte for 8 bits or fewer;
// nodata 0) or of calibrated Float32 values (nodata NaN); see RasterRows.
// Tiled 512 x 512, DEFLATE (with the horizontal predictor for counts), and
// overviews halving the image until it fits one tile, sampled by nearest
// neighbour so that every overview pixel was measured. The rows are read
// straight from the segments as GDAL writes each level, a strip of rows at a
// time, and the tiles are compressed on every processor the process may use;
// nothing is written but `output`, and the image is never held whole. Throws
// GeoTiffError, os::ReadError for a segment that cannot be read,
// os::OutputError for an output that cannot be written, and WriteStopped.
void WriteCloudOptimizedGeoTiff(RasterRows& rows, const RasterDescription& description,
                                os::HiddenOutput& output, const WriteProgress& progress);

// The same with several bands, in the order given, each described by its own
// description (`description.band` is not used): rows of one size and
// placement, all counts or all calibrated, pixel-interleaved as COG has them.
void WriteCloudOptimizedGeoTiff(const std::vector<GeoTiffBand>& bands,
                                const RasterDescription& description, os::HiddenOutput& output,
                                const WriteProgress& progress);

}  // namespace segweld::geo
