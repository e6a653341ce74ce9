#include "tools/info/preview_canvas.h"

#include <algorithm>

namespace segweld::info {
namespace {

uint64_t CeilDiv(uint64_t a, uint64_t b) {
    return (a + b - 1) / b;
}

}  // namespace

PreviewCanvas::PreviewCanvas(uint64_t fullWidth, uint64_t fullHeight, uint32_t maxSide)
    : fullWidth_(fullWidth),
      fullHeight_(fullHeight),
      step_(std::max<uint64_t>(1, CeilDiv(std::max(fullWidth, fullHeight), maxSide))),
      width_(static_cast<uint32_t>(CeilDiv(fullWidth, step_))),
      height_(static_cast<uint32_t>(CeilDiv(fullHeight, step_))),
      sums_(uint64_t{width_} * height_, 0) {}

void PreviewCanvas::AddLine(uint64_t y, std::span<const uint16_t> samples) {
    if (y >= fullHeight_) {
        return;
    }
    uint64_t* row = sums_.data() + (y / step_) * width_;
    const uint64_t count = std::min<uint64_t>(samples.size(), fullWidth_);
    for (uint64_t blockStart = 0, block = 0; blockStart < count; blockStart += step_, ++block) {
        const uint64_t blockEnd = std::min(count, blockStart + step_);
        for (uint64_t x = blockStart; x < blockEnd; ++x) {
            row[block] += samples[x];
        }
    }
}

uint64_t PreviewCanvas::BlockArea(uint32_t column, uint32_t row) const {
    const uint64_t blockWidth = std::min(fullWidth_, (column + 1) * step_) - column * step_;
    const uint64_t blockHeight = std::min(fullHeight_, (row + 1) * step_) - row * step_;
    return blockWidth * blockHeight;
}

std::vector<uint8_t> PreviewCanvas::Render(uint32_t maxSample) const {
    std::vector<uint8_t> pixels(sums_.size());
    for (uint32_t row = 0; row < height_; ++row) {
        for (uint32_t column = 0; column < width_; ++column) {
            const size_t i = size_t{row} * width_ + column;
            const uint64_t area = BlockArea(column, row);
            const uint64_t mean = std::min<uint64_t>(maxSample, (sums_[i] + area / 2) / area);
            pixels[i] = static_cast<uint8_t>((mean * 255 + maxSample / 2) / maxSample);
        }
    }
    return pixels;
}

}  // namespace segweld::info
