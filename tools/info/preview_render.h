#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace segweld::info {

// A product's picture, ready to be written.
struct PreviewPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;  // 8-bit grey, rows from the top
    std::vector<std::string> warnings;
    std::string error;  // why there is no picture; empty when there is one
};

// Renders the uncompressed data fields of the segments that the join would
// take, north up and east right, reduced so that neither side exceeds
// `maxSide`. Segments that are not joined, or whose data field is short,
// leave black bands. Compressed data is refused.
PreviewPicture RenderPreview(const std::string& segmentPath, uint32_t maxSide = 1024);

}  // namespace segweld::info
