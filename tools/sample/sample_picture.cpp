#include "tools/sample/sample_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace segweld::sample {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kGridStep = 15.0 * kPi / 180.0;
constexpr double kGridWidth = 0.35 * kPi / 180.0;

// Five columns by seven rows per letter, '#' lit.
struct Glyph {
    char letter;
    std::array<std::string_view, 7> rows;
};

constexpr std::array<Glyph, 6> kGlyphs{{
    {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'G', {" ####", "#    ", "#    ", "# ###", "#   #", "#   #", " ####"}},
    {'W', {"#   #", "#   #", "#   #", "# # #", "# # #", "## ##", "#   #"}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
    {'D', {"###  ", "#  # ", "#   #", "#   #", "#   #", "#  # ", "###  "}},
}};
constexpr std::string_view kWord = "SEGWELD";

const Glyph& GlyphOf(char letter) {
    return *std::find_if(kGlyphs.begin(), kGlyphs.end(),
                         [letter](const Glyph& g) { return g.letter == letter; });
}

bool NearMultiple(double angle, double step, double width) {
    const double offset = std::remainder(angle, step);
    return std::abs(offset) < width;
}

}  // namespace

SamplePicture::SamplePicture(uint32_t width, uint32_t height)
    : width_(width), height_(height), radius_(0.485 * std::min(width, height)) {}

bool SamplePicture::InText(double u, double v) const {
    // The word spans 1.5 disk radii; each letter cell is 6 columns wide.
    const double cell = 1.5 / (kWord.size() * 6.0);
    const double left = -0.75;
    const double top = 3.5 * cell;
    const int column = static_cast<int>(std::floor((u - left) / cell));
    const int row = static_cast<int>(std::floor((top - v) / cell));
    if (u < left || column >= static_cast<int>(kWord.size() * 6) || v > top || row >= 7) {
        return false;
    }
    const int inLetter = column % 6;
    return inLetter < 5 && GlyphOf(kWord[column / 6]).rows[row][inLetter] == '#';
}

uint16_t SamplePicture::At(uint32_t x, uint32_t y) const {
    // u runs east, v north, both in disk radii from the centre.
    const double u = (x + 0.5 - width_ / 2.0) / radius_;
    const double v = (height_ / 2.0 - y - 0.5) / radius_;
    const double r2 = u * u + v * v;
    if (r2 >= 1.0) {
        return kSpace;
    }
    if (InText(u, v)) {
        return 1000;
    }
    const double z = std::sqrt(1.0 - r2);
    const double latitude = std::asin(v);
    const double longitude = std::atan2(u, z);
    // Widen the lines where the sphere turns away, so they keep their width
    // on the picture.
    const double northward = std::max(std::cos(latitude), 0.2);
    const double eastward = std::max(z, 0.2);
    if (NearMultiple(latitude, kGridStep, kGridWidth / northward) ||
        NearMultiple(longitude, kGridStep, kGridWidth / eastward)) {
        return 820;
    }
    const double clouds = 0.5 + 0.25 * std::sin(7 * longitude + 3 * std::sin(5 * latitude)) *
                                    std::cos(9 * latitude - 2 * longitude);
    return static_cast<uint16_t>(std::clamp(120 + 520 * z * clouds + 100 * z, 0.0, 1023.0));
}

}  // namespace segweld::sample
