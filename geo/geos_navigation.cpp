#include "geo/geos_navigation.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace segweld::geo {
namespace {

double Metres(double degrees) {
    return degrees * std::numbers::pi / 180.0 * kSatelliteHeight;
}

double ColumnX(double column, const StoredImageNavigation& nav) {
    return Metres(ScanAngleDegrees(column, nav.coff, nav.cfac));
}

double LineY(double line, const StoredImageNavigation& nav) {
    return -Metres(ScanAngleDegrees(line, nav.loff, nav.lfac));
}

}  // namespace

double ScanAngleDegrees(double number, int32_t offset, int32_t factor) {
    return (number - offset) * 65536.0 / factor;
}

RasterPlacement PlaceStoredImage(const StoredImageNavigation& nav) {
    RasterPlacement placement;
    // The raster's first column is the westernmost stored one, its first row
    // the northernmost stored line; its edges lie half a pixel out.
    placement.reverseColumns = ColumnX(2, nav) < ColumnX(1, nav);
    placement.reverseLines = LineY(2, nav) > LineY(1, nav);
    const double firstColumnEdge = placement.reverseColumns ? nav.columns + 0.5 : 0.5;
    const double columnStep = placement.reverseColumns ? -1.0 : 1.0;
    const double firstLineEdge = placement.reverseLines ? nav.lines + 0.5 : 0.5;
    const double lineStep = placement.reverseLines ? -1.0 : 1.0;

    auto& gt = placement.geoTransform;
    gt[0] = ColumnX(firstColumnEdge, nav);
    gt[1] = ColumnX(firstColumnEdge + columnStep, nav) - gt[0];
    gt[2] = 0.0;
    gt[3] = LineY(firstLineEdge, nav);
    gt[4] = 0.0;
    gt[5] = LineY(firstLineEdge + lineStep, nav) - gt[3];
    return placement;
}

void ShiftForUncorrectedOffset(RasterPlacement& placement) {
    placement.geoTransform[0] += kUncorrectedOffset;
    placement.geoTransform[3] -= kUncorrectedOffset;
}

std::optional<double> SubSatelliteLongitude(const std::string& projectionName) {
    double longitude = 0.0;
    char close = 0;
    int consumed = 0;
    if (std::sscanf(projectionName.c_str(), "GEOS(%lf%c%n", &longitude, &close, &consumed) != 2 ||
        close != ')' || static_cast<size_t>(consumed) != projectionName.size() ||
        !std::isfinite(longitude) || std::fabs(longitude) > 180.0) {
        return std::nullopt;
    }
    return longitude;
}

std::string GeosProjDefinition(double longitude) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "+proj=geos +lon_0=%.6g +h=%.0f +a=%.0f +b=%.1f +sweep=y +units=m +no_defs",
                  longitude, kSatelliteHeight, kEquatorialRadius, kPolarRadius);
    return text;
}

}  // namespace segweld::geo
