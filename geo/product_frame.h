#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "geo/geos_navigation.h"
#include "geo/level15_records.h"
#include "geo/segment_pixels.h"
#include "hrit/hrit_header.h"

namespace segweld::geo {

// Why a product cannot be written as a georeferenced image; what() says why,
// for people.
class ProductRefused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The full-disk HRV grid: its size, and the column offset of the
// sub-satellite point in it.
inline constexpr uint32_t kHrvGridColumns = 11136;
inline constexpr int32_t kHrvGridColumnOffset = 5566;

// One segment that the walk joined, with its decoded header.
struct JoinedSegment {
    int32_t number = 0;  // from the file name, as the join walked it
    std::string path;
    HritHeader header{};
    uint32_t headerLength = 0;
    std::shared_ptr<const SegmentPixels> pixels;  // its data field
};

// Lines of a segment that lie in one image window: stored column 1 of each
// of them is the image's stored column `firstColumn` + 1.
struct ColumnRun {
    uint32_t firstLine = 0;  // in the segment, from 0
    uint32_t lineCount = 0;
    uint32_t firstColumn = 0;

    bool operator==(const ColumnRun&) const = default;
};

// Where one joined segment's pixels lie: in its file and in the image.
struct SegmentPlace {
    int32_t number = 0;
    std::string path;
    std::shared_ptr<const SegmentPixels> pixels;
    uint32_t firstLine = 0;       // its first stored line, counted from 0 in the image
    std::vector<ColumnRun> runs;  // all its lines, south to north
};

// How the HRV windows were placed.
enum class HrvPlacement { NotHrv, Epilogue, Navigation };

// The product as one stored image: every planned segment has its band of
// lines, whether the join wrote it or not (those lines stay empty).
struct ProductFrame {
    uint32_t bitsPerPixel = 0;
    uint32_t linesPerSegment = 0;
    uint32_t segmentColumns = 0;  // stored columns of each segment's lines
    int32_t firstNumber = 0;      // the segment of the image's first stored lines
    int32_t lastNumber = 0;
    StoredImageNavigation navigation;  // for the whole image
    double subSatelliteLongitude = 0.0;
    std::vector<SegmentPlace> places;  // joined segments, by number
    HrvPlacement hrvPlacement = HrvPlacement::NotHrv;

    std::string satellite;  // the source of the dissemination name: "MSG2"
    uint16_t spacecraftId = 0;
    std::string channel;
    int32_t channelCode = -1;  // 1 to 12 for the MSG imager's channels (ChannelCodeOf)
    std::tm nominalTime{};     // UTC; tm_mday 0 when the headers give none
    std::vector<int32_t> joined;
    std::vector<int32_t> missing;  // planned segments the join did not write
};

// Lays out the joined segments, given in the order they were joined. The
// image runs over the planned segments of the first one's segment
// identification (over the joined ones where it gives no plan); each segment
// takes its band of lines by its number, and the first joined segment's line
// offset places the whole. An HRV image spans the full-disk HRV grid's
// columns; its lower and upper windows are placed by `hrvCoverage` (the
// epilogue's) when given and plausible, else by each segment's column
// offset, and `warnings` says so. Throws ProductRefused for products that are
// not uncompressed, evenly segmented, GEOS-navigated image data, and for
// first-generation Meteosat data (MTP), whose lines carry a prefix.
ProductFrame FrameProduct(const std::vector<JoinedSegment>& segments,
                          const HrvCoverage* hrvCoverage, std::vector<std::string>& warnings);

// "YYYY-MM-DDThh:mm:00Z" and TIFF's "YYYY:MM:DD hh:mm:00"; empty without a time.
std::string IsoTime(const std::tm& time);
std::string TiffTime(const std::tm& time);

}  // namespace segweld::geo
