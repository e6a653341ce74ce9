#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace segweld::info {

// A picture reduced by a whole factor so that neither side exceeds a limit:
// each of its pixels is the mean of a square block of full-size pixels, and
// full-size pixels that are never drawn count as black.
class PreviewCanvas {
  public:
    PreviewCanvas(uint64_t fullWidth, uint64_t fullHeight, uint32_t maxSide);

    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }

    // Adds full-size line `y` (from the top); `samples` holds one value per
    // full-size column, from the left.
    void AddLine(uint64_t y, std::span<const uint16_t> samples);

    // The reduced picture, rows from the top, with samples from 0 to
    // `maxSample` scaled to 0 to 255.
    std::vector<uint8_t> Render(uint32_t maxSample) const;

  private:
    uint64_t BlockArea(uint32_t column, uint32_t row) const;

    uint64_t fullWidth_;
    uint64_t fullHeight_;
    uint64_t step_;
    uint32_t width_;
    uint32_t height_;
    std::vector<uint64_t> sums_;
};

}  // namespace segweld::info
