#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "geo/geos_navigation.h"
#include "geo/product_frame.h"

namespace segweld::geo {

// A failure of GDAL or of the files while writing the GeoTIFF; what() says
// what failed and GDAL's reason.
class GeoTiffError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using MetadataTags = std::vector<std::pair<std::string, std::string>>;

// What goes into the GeoTIFF besides the pixels.
struct RasterDescription {
    RasterPlacement placement;
    double subSatelliteLongitude = 0.0;
    MetadataTags tags;
};

// Writes the counts of the joined segments, read from their files and laid
// out by `frame`, as a Cloud-Optimized GeoTIFF at `cogPath`: one band of UInt16 counts (Byte for 8
// bits or fewer), north up, with nodata 0 for lines that hold no data (bytes
// beyond the end of a segment file read as 0),
// DEFLATE with a predictor, and overviews sampled by nearest neighbour so
// that every overview pixel is a count that was measured. Works through a
// temporary tiled GeoTIFF in `workFolder`; GDAL's block cache is bounded, so
// the image is never held in memory whole. Throws GeoTiffError, also when
// `stopRequested`, asked between batches of lines and at GDAL's progress
// steps, says true; the caller removes `workFolder` with whatever it holds.
void WriteCloudOptimizedGeoTiff(const ProductFrame& frame, const RasterDescription& description,
                                const std::string& workFolder, const std::string& cogPath,
                                const std::function<bool()>& stopRequested);

}  // namespace segweld::geo
