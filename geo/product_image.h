#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "geo/calibration.h"
#include "geo/cog_writer.h"
#include "geo/product_frame.h"
#include "join/join_segments.h"

namespace segweld::geo {

// A product as one image, whatever the format it is written in: where each
// joined segment's pixels lie, what they are calibrated to, where the image
// lies on the Earth and what it says of itself. RasterRows(frame,
// description.placement, calibration) produces its rows.
struct ProductImage {
    ProductFrame frame;
    Quantity quantity = Quantity::Counts;  // what the pixels hold
    std::vector<float> calibration;        // each count's value; empty for counts
    RasterDescription description;
    // What a file says of the product beyond the GeoTIFF's tags: the channel
    // ("IR_108"), its central wavelength in micrometres (empty for data of
    // no SEVIRI channel), the platform ("Meteosat-9"; empty when unknown),
    // and the forward scan's start and end from the epilogue
    // ("2009-10-08T12:00:09.123Z"; empty without one).
    std::string channel;
    std::string wavelength;
    std::string platform;
    std::string scanStart;
    std::string scanEnd;
    // The epilogue's HRV windows, where they placed the image.
    std::optional<HrvCoverage> hrvWindows;
    // The planned segments not joined, apart: those without a file, and
    // those whose file was refused or lies beyond the gap that ended the walk.
    std::vector<int32_t> missing;
    std::vector<int32_t> notJoined;
};

// Lays out the segments that the walk over the product of `segmentPath`
// joined, in the order it joined them, with the product's prologue and
// epilogue, into the image of `calibration` (the channel's usual quantity
// when none). Where the prologue cannot give the quantity asked for, the image
// holds counts, and `warnings` says why; a prologue or epilogue of another
// time slot or satellite is not used, as if it were missing. Throws
// ProductRefused for products that cannot make an image (see FrameProduct),
// for a calibration that the channel does not have, and for `mode` GSICS
// where the prologue carries no GSICS coefficients for the channel (which
// then take the nominal ones' place).
ProductImage DescribeProductImage(const std::string& segmentPath, const JoinReport& walk,
                                  const std::vector<JoinedSegment>& segments,
                                  const std::optional<Quantity>& calibration, CalibrationMode mode,
                                  std::vector<std::string>& warnings);

// Whether a tag of RasterDescription::tags describes the product rather than
// the file: what a file of several products gives each of them apart.
bool IsProductTag(const std::string& tag);

}  // namespace segweld::geo
