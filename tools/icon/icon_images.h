#pragma once

// Segweld's icon as the 32 x 32 and 16 x 16 images of ui/ draw it, as pixels
// for the build's icon writers (the Windows .ico, the desktop's PNG files).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace segweld::icon {

#include "ui/segweld_icon_16.xpm"
#include "ui/segweld_icon_32.xpm"

struct Image {
    int size = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, top row first
};

// The XPM subset of ui/: one character per pixel, colours as #RRGGBB or None.
inline Image Decode(const char* const* xpm) {
    int width = 0, height = 0, colours = 0, perPixel = 0;
    std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &perPixel);
    std::map<char, uint32_t> palette;
    for (int i = 1; i <= colours; ++i) {
        const std::string line = xpm[i];
        const size_t hash = line.find('#');
        palette[line[0]] = hash == std::string::npos
                               ? 0
                               : 0xFF000000u | std::strtoul(line.c_str() + hash + 1, nullptr, 16);
    }
    Image image{width, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.pixels.push_back(palette[xpm[1 + colours + y][x]]);
        }
    }
    return image;
}

// The images, largest first.
inline std::vector<Image> IconImages() {
    return {Decode(segweld_icon_32_xpm), Decode(segweld_icon_16_xpm)};
}

}  // namespace segweld::icon
