#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace segweld::geo {

// The geostationary view of MSG: the Earth model and the satellite's height
// above the equator that the image navigation refers to.
inline constexpr double kSatelliteHeight = 35785831.0;  // metres above the surface
inline constexpr double kEquatorialRadius = 6378169.0;
inline constexpr double kPolarRadius = 6356583.8;

// Images produced before the georeferencing correction lie this far north and
// west of the nominal projection, in metres at the sub-satellite point.
inline constexpr double kUncorrectedOffset = 1500.0;

// The navigation of a whole image as it is stored: `columns` x `lines` pixels,
// column 1 and line 1 first, with the scaling factors and offsets of the image
// navigation record (the line offset counted from the image's first line).
struct StoredImageNavigation {
    int32_t cfac = 0;
    int32_t lfac = 0;
    int32_t coff = 0;
    int32_t loff = 0;
    uint32_t columns = 0;
    uint32_t lines = 0;
};

// How the stored image becomes a north-up, east-right raster, and where that
// raster lies in the geostationary projection (metres).
struct RasterPlacement {
    bool reverseColumns = false;  // stored column 1 becomes the raster's last column
    bool reverseLines = false;    // stored line 1 becomes the raster's last row
    // GDAL's affine transform: x = gt[0] + column * gt[1], y = gt[3] + row * gt[5].
    std::array<double, 6> geoTransform{};
};

// Scan angle in degrees of a (possibly fractional) column or line number:
// (number - offset) * 2^16 / factor. Pixel centres lie at whole numbers.
double ScanAngleDegrees(double number, int32_t offset, int32_t factor);

// Projection coordinates in metres: x = the column's scan angle (in radians)
// times the satellite's height, y = minus the line's scan angle times the
// height. With MSG's negative scaling factors, stored column 1 lies in the
// east and line 1 in the south. The raster is laid out so that x grows to the
// right and y upward, whatever the signs of the factors.
RasterPlacement PlaceStoredImage(const StoredImageNavigation& navigation);

// Moves the raster onto the coastlines for an image whose georeferencing
// offset was not corrected: its pixels lie 1.5 km north-west of where the
// header's navigation puts them, so the frame moves by 1.5 km south-east.
void ShiftForUncorrectedOffset(RasterPlacement& placement);

// The sub-satellite longitude (degrees east) of a projection name of the form
// "GEOS(+009.5)"; nothing for any other name.
std::optional<double> SubSatelliteLongitude(const std::string& projectionName);

// The PROJ definition of the geostationary projection at `longitude`.
std::string GeosProjDefinition(double longitude);

}  // namespace segweld::geo
