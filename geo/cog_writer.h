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

// Writes the image of the joined segments, read from their files and laid
// out by `frame`, as a Cloud-Optimized GeoTIFF at `cogPath`: one band, north
// up, of counts (UInt16, Byte for 8 bits or fewer; nodata 0) or, when
// `calibration` gives each count its value, of Float32 values (nodata NaN);
// see RasterRows. DEFLATE with a predictor, and overviews sampled by nearest
// neighbour so that every overview pixel was measured. Works through a
// temporary tiled GeoTIFF in `workFolder`, written a row of tiles at a time;
// GDAL's block cache is bounded, so the image is never held in memory whole.
// Throws GeoTiffError (os::ReadError for a segment that cannot be read), also
// when `stopRequested`, asked between rows of tiles and at GDAL's progress
// steps, says true; the caller removes `workFolder` with whatever it holds.
void WriteCloudOptimizedGeoTiff(const ProductFrame& frame, const RasterDescription& description,
                                std::vector<float> calibration, const std::string& workFolder,
                                const std::string& cogPath,
                                const std::function<bool()>& stopRequested);

}  // namespace segweld::geo
