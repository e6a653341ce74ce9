#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "unpack/compression.h"

namespace segweld::test {

// `bytes` compressed whole, as `bzip2 -9`, `gzip -6` and `xz -6` write them.
std::vector<uint8_t> Compress(const std::vector<uint8_t>& bytes, unpack::Compression compression);

// Replaces the file at `path` by the file of its compressed name (NAME.bz2,
// NAME.gz, NAME.xz) holding it compressed; returns that name's path. None
// leaves the file as it is.
std::string CompressFile(const std::string& path, unpack::Compression compression);

}  // namespace segweld::test
