#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "geo/geos_navigation.h"
#include "geo/product_frame.h"
#include "hrit/big_endian_reader.h"

namespace segweld::geo {

// Produces the rows of an image's raster, north up and east right, from the
// data fields of the frame's joined segments: counts as stored, or the value
// that `calibration` gives each count. Pixels that hold nothing (segments not
// joined, columns outside the HRV windows) are 0 among counts and NaN among
// calibrated values, as are count 0 and, when calibrated, the lines that a
// segment's line quality record marks unusable.
class RasterRows {
  public:
    // `calibration` holds one value per count, or nothing for counts.
    RasterRows(const ProductFrame& frame, const RasterPlacement& placement,
               std::vector<float> calibration);

    uint32_t width() const { return frame_.navigation.columns; }
    uint32_t height() const { return frame_.navigation.lines; }
    bool calibrated() const { return !calibration_.empty(); }
    uint32_t bitsPerPixel() const { return frame_.bitsPerPixel; }

    // Fills rows `top` to `top` + `count` - 1 (from 0 at the top) into `out`,
    // which holds `count` * width() pixels. Throws os::ReadError.
    void Fill(uint32_t top, uint32_t count, std::span<uint16_t> out);
    void Fill(uint32_t top, uint32_t count, std::span<float> out);

  private:
    template <typename Pixel, typename PutLine>
    void FillRows(uint32_t top, uint32_t count, std::span<Pixel> out, Pixel nothing,
                  PutLine putLine);
    const SegmentPlace* PlaceOf(uint32_t segmentIndex) const;
    // Reads the packed lines `first` to `end` - 1 of `place`.
    BigEndianReader ReadLines(const SegmentPlace& place, uint32_t first, uint32_t end);
    // Where stored line `line` of a segment lands in a raster row: the first
    // pixel of its span.
    uint32_t SpanStart(const SegmentPlace& place, uint32_t line) const;

    const ProductFrame& frame_;
    RasterPlacement placement_;
    std::vector<float> calibration_;
    std::vector<int32_t> placeBySegment_;  // index into frame_.places, or -1
    uint64_t lineBits_ = 0;
    std::vector<uint8_t> packed_;
    std::vector<uint16_t> counts_;
};

}  // namespace segweld::geo
