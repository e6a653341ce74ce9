// write_ico: writes Segweld's icon (the 32 x 32 and 16 x 16 images of ui/)
// as a Windows .ico file, for the programs' resources.
//
//   write_ico OUT.ico

#include <cstdint>
#include <cstdio>
#include <vector>

#include "tools/icon/icon_images.h"

namespace {

using segweld::icon::Image;

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// One image as an icon resource holds it: a bitmap header, 32-bit BGRA rows
// bottom row first, then the 1-bit transparency mask, rows padded to 4 bytes.
std::vector<uint8_t> IconImage(const Image& image) {
    std::vector<uint8_t> out;
    const int size = image.size;
    Put(out, 40, 4);
    Put(out, static_cast<uint32_t>(size), 4);
    Put(out, static_cast<uint32_t>(size * 2), 4);  // colour rows and mask rows
    Put(out, 1, 2);
    Put(out, 32, 2);
    for (int i = 0; i < 6; ++i) {
        Put(out, 0, 4);
    }
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            Put(out, image.pixels[static_cast<size_t>(y * size + x)], 4);
        }
    }
    const int maskRowBytes = (size / 8 + 3) / 4 * 4;
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(static_cast<size_t>(maskRowBytes), 0);
        for (int x = 0; x < size; ++x) {
            if ((image.pixels[static_cast<size_t>(y * size + x)] >> 24) == 0) {
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_ico OUT.ico\n");
        return 2;
    }
    const std::vector<Image> images = segweld::icon::IconImages();
    std::vector<uint8_t> file;
    Put(file, 0, 2);
    Put(file, 1, 2);  // an icon
    Put(file, static_cast<uint32_t>(images.size()), 2);
    std::vector<uint8_t> data;
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const Image& image : images) {
        const std::vector<uint8_t> bytes = IconImage(image);
        Put(file, static_cast<uint32_t>(image.size), 1);
        Put(file, static_cast<uint32_t>(image.size), 1);
        Put(file, 0, 2);   // no palette, reserved
        Put(file, 1, 2);   // planes
        Put(file, 32, 2);  // bits per pixel
        Put(file, static_cast<uint32_t>(bytes.size()), 4);
        Put(file, offset, 4);
        offset += static_cast<uint32_t>(bytes.size());
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    file.insert(file.end(), data.begin(), data.end());
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "write_ico: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
