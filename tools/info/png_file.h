#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace segweld::info {

// Writes an 8-bit grey picture (rows from the top) as a PNG file at `path`.
// The file is written under a temporary name in the same folder and renamed
// onto `path` only when complete, so a failure leaves no partial file and an
// existing file of that name intact. Returns why it failed; empty on success.
std::string WritePngFile(const std::string& path, uint32_t width, uint32_t height,
                         const std::vector<uint8_t>& pixels);

}  // namespace segweld::info
