#pragma once

#include <functional>
#include <string>
#include <vector>

#include "join/join_segments.h"

namespace segweld::geo {

struct GeoTiffOptions {
    bool fillGaps = false;  // passed to the join as JoinOptions::fillGaps
    // Asked between steps of the join and of the GeoTIFF's writing; true
    // stops the run, which then writes nothing.
    std::function<bool()> stopRequested = [] { return false; };
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
// does, into a hidden folder, and writes the image of the segments it joined
// (read from their files, each at its place) as a Cloud-Optimized GeoTIFF in
// `outputFolder`, named like the joined output with ".tif" in place of its
// extension. The hidden folder lies where the GeoTIFF is committed
// (os::CommitFolder) and goes in any case; the GeoTIFF appears only when
// complete, replacing an older one as os::CommitFinishedFile does. Products
// that cannot be georeferenced (HRV, compressed, not image data) are refused.
GeoTiffReport WriteProductGeoTiff(const std::string& segmentPath, const std::string& outputFolder,
                                  const GeoTiffOptions& options);

}  // namespace segweld::geo
