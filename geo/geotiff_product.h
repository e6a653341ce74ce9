#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "geo/calibration.h"
#include "join/join_segments.h"

namespace segweld::geo {

struct GeoTiffOptions {
    bool fillGaps = false;  // passed to the join as JoinOptions::fillGaps
    // The quantity asked for; nothing asks for the channel's default.
    std::optional<Quantity> calibration;
    // Asked between steps of the join and of the GeoTIFF's writing; true
    // stops the run, which then writes nothing.
    std::function<bool()> stopRequested = [] { return false; };
};

// What writing a product's GeoTIFF did.
struct GeoTiffReport {
    JoinReport join;                       // the join, exactly as segweld's own
    std::vector<std::string> warnings;     // about the GeoTIFF, after the join's
    std::string outputPath;                // the GeoTIFF written; empty when none was
    std::string error;                     // why nothing was written
    bool refused = false;                  // the product's data cannot make a GeoTIFF
    Quantity quantity = Quantity::Counts;  // what the GeoTIFF's pixels hold
    // The product's planned segments, as the GeoTIFF's metadata lists them.
    std::vector<int32_t> segmentsJoined;
    std::vector<int32_t> segmentsMissing;    // no file: nodata (or zeros, when filled)
    std::vector<int32_t> segmentsNotJoined;  // a file, not joined: nodata
    std::vector<int32_t> segmentsFilled;   // missing, filled by --fill-gaps: nodata

    bool written() const { return !outputPath.empty(); }
};

// Joins the product that `segmentPath` belongs to exactly as JoinSegments
// does, into a hidden folder, and writes the image of the segments it joined
// (read from their files, each at its place) as a Cloud-Optimized GeoTIFF in
// `outputFolder`, named like the joined output with ".tif" in place of its
// extension. The hidden folder lies where the GeoTIFF is committed
// (os::CommitFolder) and goes in any case; the GeoTIFF appears only when
// complete, replacing an older one as os::CommitFinishedFile does. Products
// that cannot be georeferenced (compressed, not image data), and a
// calibration that the channel does not have, are refused. Where the
// prologue does not allow the calibration asked for, the GeoTIFF holds
// counts and a warning says why. Prints nothing, touches no process-wide
// state: runs on any thread, several at once.
GeoTiffReport WriteProductGeoTiff(const std::string& segmentPath, const std::string& outputFolder,
                                  const GeoTiffOptions& options);

// The GeoTIFF module's entry for the station modes, which load the module
// (kGeoTiffModuleName) and call it per product: WriteProductGeoTiff, with
// the report handed back through `report`.
inline constexpr const char* kWriteProductGeoTiffEntryName = "SegweldWriteProductGeoTiff";
using WriteProductGeoTiffEntry = void (*)(const std::string& segmentPath,
                                          const std::string& outputFolder,
                                          const GeoTiffOptions& options, GeoTiffReport& report);

}  // namespace segweld::geo
