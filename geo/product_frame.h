#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "geo/geos_navigation.h"
#include "hrit/hrit_header.h"

namespace segweld::geo {

// Why a product cannot be written as a georeferenced image; what() says why,
// for people.
class ProductRefused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One segment whose data field the join wrote, with its decoded header.
struct JoinedSegment {
    int32_t number = 0;  // from the file name, as the join walked it
    std::string path;
    HritHeader header{};
    uint32_t headerLength = 0;
};

// Where one joined segment's pixels lie: in its file and in the image.
struct SegmentPlace {
    int32_t number = 0;
    std::string path;
    uint64_t dataOffset = 0;  // its data field's first byte in the file
    uint32_t firstLine = 0;   // its first stored line, counted from 0 in the image
};

// The product as one stored image: every planned segment has its band of
// lines, whether the join wrote it or not (those lines stay empty).
struct ProductFrame {
    uint32_t bitsPerPixel = 0;
    uint32_t linesPerSegment = 0;
    int32_t firstNumber = 0;  // the segment of the image's first stored lines
    int32_t lastNumber = 0;
    StoredImageNavigation navigation;  // for the whole image
    double subSatelliteLongitude = 0.0;
    std::vector<SegmentPlace> places;  // joined segments, by number

    std::string satellite;
    std::string channel;
    std::string nominalTime;  // ISO 8601, UTC
    std::vector<int32_t> joined;
    std::vector<int32_t> missing;  // planned segments the join did not write
};

// Lays out the joined segments, given in the order they were joined. The
// image runs over the planned segments of the first one's segment
// identification (over the joined ones where it gives no plan); each segment
// takes its band of lines by its number, and the first joined segment's line
// offset places the whole. Throws ProductRefused for products that are not
// uncompressed, evenly segmented, GEOS-navigated image data of a channel
// other than HRV.
ProductFrame FrameProduct(const std::vector<JoinedSegment>& segments);

}  // namespace segweld::geo
