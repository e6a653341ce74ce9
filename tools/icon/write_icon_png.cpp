// write_icon_png: writes one of Segweld's pixel-drawn icon images (the 32 x 32
// and 16 x 16 images of ui/) as a PNG file, for the desktop's icon theme.
//
//   write_icon_png SIZE OUT.png

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tools/icon/icon_images.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: write_icon_png SIZE OUT.png\n");
        return 2;
    }
    const int size = std::atoi(argv[1]);
    for (const segweld::icon::Image& image : segweld::icon::IconImages()) {
        if (image.size != size) {
            continue;
        }
        std::vector<uint8_t> rgba;
        for (const uint32_t pixel : image.pixels) {
            for (const int shift : {16, 8, 0, 24}) {
                rgba.push_back(static_cast<uint8_t>(pixel >> shift));
            }
        }
        png_image png{};
        png.version = PNG_IMAGE_VERSION;
        png.width = static_cast<png_uint_32>(size);
        png.height = static_cast<png_uint_32>(size);
        png.format = PNG_FORMAT_RGBA;
        if (!png_image_write_to_file(&png, argv[2], 0, rgba.data(), 0, nullptr)) {
            std::fprintf(stderr, "write_icon_png: cannot write %s: %s\n", argv[2], png.message);
            return 1;
        }
        return 0;
    }
    std::fprintf(stderr, "write_icon_png: no %s pixel image\n", argv[1]);
    return 2;
}
