#pragma once

#include <string>
#include <vector>

#include "join/join_segments.h"

namespace segweld::geo {

struct GeoTiffOptions {
    bool fillGaps = false;  // passed to the join as JoinOptions::fillGaps
};

// What writing a product's GeoTIFF did.
struct GeoTiffReport {
    JoinReport join;                    // the join, exactly as segweld's own
    std::vector<std::string> warnings;  // about the georeferencing, after the join's
    std::string outputPath;             // the GeoTIFF written; empty when none was
    std::string error;                  // why nothing was written

    bool written() const { return !outputPath.empty(); }
};

// Joins the product that `segmentPath` belongs to exactly as JoinSegments
// does, into a hidden folder inside `outputFolder`, and writes the image of
// the segments it joined (read from their files, each at its place) as a
// Cloud-Optimized GeoTIFF in `outputFolder`, named like the joined output
// with ".tif" in place of its extension. The GeoTIFF appears only when
// complete; the hidden folder goes in any case. Products that cannot be
// georeferenced (HRV, compressed, not image data) are refused.
GeoTiffReport WriteProductGeoTiff(const std::string& segmentPath, const std::string& outputFolder,
                                  const GeoTiffOptions& options);

}  // namespace segweld::geo
