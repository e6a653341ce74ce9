#include "tools/info/png_file.h"

#include <png.h>

#include "os/file_system.h"

namespace segweld::info {
namespace {

// The picture as PNG bytes; `error` says why there are none.
std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels,
                               std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_GRAY;
    const auto stride = static_cast<png_int_32>(width);
    png_alloc_size_t size = 0;
    std::vector<uint8_t> bytes;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), stride, nullptr)) {
        bytes.resize(size);
        if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels.data(), stride,
                                       nullptr)) {
            bytes.clear();
        }
        bytes.resize(size);
    }
    if (bytes.empty()) {
        error = std::string("cannot encode it: ") + image.message;
    }
    png_image_free(&image);
    return bytes;
}

}  // namespace

std::string WritePngFile(const std::string& path, uint32_t width, uint32_t height,
                         const std::vector<uint8_t>& pixels) {
    std::string error;
    const std::vector<uint8_t> bytes = EncodePng(width, height, pixels, error);
    if (!error.empty()) {
        return "cannot write " + path + ": " + error;
    }
    try {
        os::HiddenOutput output(path);
        output.Append(bytes);
        output.Commit();
    } catch (const os::OutputError& failure) {
        return failure.what();
    }
    return "";
}

}  // namespace segweld::info
