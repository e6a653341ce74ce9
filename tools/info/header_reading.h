#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hrit/hrit_header.h"

namespace segweld::info {

// The header of one file as the header reader sees it.
struct HeaderReading {
    std::string file;           // the path as given
    uint32_t headerLength = 0;  // ReadHeader's result; 0 when refused
    std::string refusal;        // why there is no header, when there is none
    HritHeader header{};
    std::vector<uint32_t> unexpectedTypes;  // record types reported as unexpected, in order

    bool accepted() const { return headerLength != 0; }
};

// Opens `path` (regular files only; NAME.bz2, NAME.gz and NAME.xz are
// decompressed as they are read) and reads its header, collecting the
// unexpected record types instead of printing them.
HeaderReading ReadHeaderOfFile(const std::string& path);

}  // namespace segweld::info
