#pragma once

#include <cstdint>
#include <functional>

#include "hrit/hrit_header.h"

namespace segweld {

// Receives the type of every header record of an unexpected type (8 to 127,
// 132 to 255) that the walk meets.
using UnexpectedTypeReport = std::function<void(uint32_t hdrType)>;

// The default report: "Unexpected hdrtype=%d\n" on standard output.
void PrintUnexpectedType(uint32_t hdrType);

// Walks the header records held in `buffer` (`length` bytes, the primary
// header record first) and decodes every record that lies wholly within the
// buffer into `header`, which is first set to zero.
void DecodeHeaderRecords(const uint8_t* buffer, int32_t length, HritHeader& header,
                         const UnexpectedTypeReport& report = PrintUnexpectedType);

}  // namespace segweld
