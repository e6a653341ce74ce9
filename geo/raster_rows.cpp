#include "geo/raster_rows.h"

#include <algorithm>
#include <limits>

#include "geo/line_quality.h"
#include "hrit/packed_samples.h"

namespace segweld::geo {

RasterRows::RasterRows(const ProductFrame& frame, const RasterPlacement& placement,
                       std::vector<float> calibration)
    : frame_(frame),
      placement_(placement),
      calibration_(std::move(calibration)),
      placeBySegment_(static_cast<size_t>(frame.lastNumber - frame.firstNumber + 1), -1),
      lineBits_(uint64_t{frame.segmentColumns} * frame.bitsPerPixel),
      counts_(frame.segmentColumns) {
    for (size_t i = 0; i < frame.places.size(); ++i) {
        placeBySegment_[static_cast<size_t>(frame.places[i].number - frame.firstNumber)] =
            static_cast<int32_t>(i);
    }
}

const SegmentPlace* RasterRows::PlaceOf(uint32_t segmentIndex) const {
    const int32_t index = placeBySegment_[segmentIndex];
    return index < 0 ? nullptr : &frame_.places[static_cast<size_t>(index)];
}

BigEndianReader RasterRows::ReadLines(const SegmentPlace& place, uint32_t first, uint32_t end) {
    const uint64_t firstByte = first * lineBits_ / 8;
    const uint64_t endByte = (end * lineBits_ + 7) / 8;
    packed_.resize(endByte - firstByte);
    // Bytes beyond the end of the file are 0: count 0, which holds nothing.
    place.pixels->Read(firstByte, packed_);
    return BigEndianReader(packed_.data(), packed_.size());
}

uint32_t RasterRows::SpanStart(const SegmentPlace& place, uint32_t line) const {
    for (const ColumnRun& run : place.runs) {
        if (line >= run.firstLine && line < run.firstLine + run.lineCount) {
            return placement_.reverseColumns ? width() - run.firstColumn - frame_.segmentColumns
                                             : run.firstColumn;
        }
    }
    return width();  // not in any window: never drawn
}

template <typename Pixel, typename PutLine>
void RasterRows::FillRows(uint32_t top, uint32_t count, std::span<Pixel> out, Pixel nothing,
                          PutLine putLine) {
    std::fill(out.begin(), out.end(), nothing);
    const uint32_t lines = frame_.linesPerSegment;
    // The stored lines of these rows, in storage order.
    const uint32_t first = placement_.reverseLines ? height() - top - count : top;
    const uint32_t end = first + count;
    for (uint32_t line = first; line < end;) {
        const uint32_t segment = line / lines;
        const uint32_t segmentEnd = std::min(end, (segment + 1) * lines);
        const SegmentPlace* place = PlaceOf(segment);
        if (place != nullptr) {
            const uint32_t firstInSegment = line - segment * lines;
            const uint32_t endInSegment = segmentEnd - segment * lines;
            const BigEndianReader packed = ReadLines(*place, firstInSegment, endInSegment);
            const uint64_t bitBase = firstInSegment * lineBits_ / 8 * 8;
            for (uint32_t j = firstInSegment; j < endInSegment; ++j) {
                const uint32_t stored = segment * lines + j;
                const uint32_t row = placement_.reverseLines ? height() - 1 - stored : stored;
                const uint32_t start = SpanStart(*place, j);
                if (start < width()) {
                    putLine(
                        packed, j * lineBits_ - bitBase, place->pixels->Unusable(j),
                        out.subspan(uint64_t{row - top} * width() + start, frame_.segmentColumns));
                }
            }
        }
        line = segmentEnd;
    }
}

void RasterRows::Fill(uint32_t top, uint32_t count, std::span<uint16_t> out) {
    FillRows<uint16_t>(
        top, count, out, 0,
        [this](const BigEndianReader& packed, uint64_t bit, bool, std::span<uint16_t> span) {
            UnpackSamples(packed, bit, frame_.bitsPerPixel, placement_.reverseColumns, span);
        });
}

void RasterRows::Fill(uint32_t top, uint32_t count, std::span<float> out) {
    FillRows<float>(
        top, count, out, std::numeric_limits<float>::quiet_NaN(),
        [this](const BigEndianReader& packed, uint64_t bit, bool unusable, std::span<float> span) {
            if (unusable) {
                return;
            }
            UnpackSamples(packed, bit, frame_.bitsPerPixel, placement_.reverseColumns, counts_);
            std::transform(counts_.begin(), counts_.end(), span.begin(),
                           [this](uint16_t count) { return calibration_[count]; });
        });
}

}  // namespace segweld::geo
