#include "geo/segment_pixels.h"

#include <algorithm>

#include "geo/line_quality.h"

namespace segweld::geo {

SegmentPixels::SegmentPixels(std::shared_ptr<SegmentFile> file, uint32_t headerLength,
                             std::span<const uint8_t> header, uint32_t lines)
    : file_(std::move(file)),
      headerLength_(headerLength),
      unusable_(UnusableLines(header, lines)) {}

void SegmentPixels::Read(uint64_t offset, std::span<uint8_t> out) const {
    const size_t got = file_->ReadAt(headerLength_ + offset, out);
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(got), out.end(), uint8_t{0});
}

}  // namespace segweld::geo
