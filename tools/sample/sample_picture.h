#pragma once

#include <cstdint>

namespace segweld::sample {

// A picture of the Earth's disk as a geostationary imager sees it, north up:
// a shaded disk with a graticule every 15 degrees and the word SEGWELD across
// it, so that a joined product shows at a glance whether it is whole and the
// right way round. Values are 10-bit counts, 0 to 1023.
class SamplePicture {
  public:
    static constexpr uint16_t kSpace = 20;  // the count of space around the disk

    SamplePicture(uint32_t width, uint32_t height);

    uint16_t At(uint32_t x, uint32_t y) const;

  private:
    bool InText(double u, double v) const;

    uint32_t width_;
    uint32_t height_;
    double radius_;
};

}  // namespace segweld::sample
