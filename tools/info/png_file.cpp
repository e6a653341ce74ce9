#include "tools/info/png_file.h"

#include <fcntl.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "join/segment_name.h"

namespace segweld::info {
namespace {

mode_t CreationMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Encodes the picture into `file` and closes it; returns why that failed.
std::string EncodeAndClose(FILE* file, uint32_t width, uint32_t height,
                           const std::vector<uint8_t>& pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_GRAY;
    const bool encoded = png_image_write_to_stdio(&image, file, 0, pixels.data(),
                                                  static_cast<png_int_32>(width), nullptr) != 0;
    std::string error = encoded ? "" : std::string("cannot encode it: ") + image.message;
    png_image_free(&image);
    const bool flushed = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    if (error.empty() && !flushed) {
        error = std::strerror(errno);
    }
    if (std::fclose(file) != 0 && error.empty()) {
        error = std::strerror(errno);
    }
    return error;
}

}  // namespace

std::string WritePngFile(const std::string& path, uint32_t width, uint32_t height,
                         const std::vector<uint8_t>& pixels) {
    const SegmentPath parts = SplitSegmentPath(path);
    std::string temporary = parts.directory + ".segweld-info-XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return SystemError("cannot create a file in " +
                           (parts.directory.empty() ? std::string(".") : parts.directory));
    }
    (void)fchmod(fd, CreationMode());
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        const std::string error = SystemError("cannot write " + path);
        close(fd);
        unlink(temporary.c_str());
        return error;
    }
    std::string error = EncodeAndClose(file, width, height, pixels);
    if (!error.empty()) {
        error = "cannot write " + path + ": " + error;
    }
    if (error.empty() && rename(temporary.c_str(), path.c_str()) != 0) {
        error = SystemError("cannot create " + path);
    }
    if (!error.empty()) {
        unlink(temporary.c_str());
    }
    return error;
}

}  // namespace segweld::info
