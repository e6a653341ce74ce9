#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace segweld::geo {

// The lines of a segment that its image segment line quality record (header
// record 129) marks as not to be used: missing or corrupted (validity 2 or 3)
// with radiometric and geometric quality both "do not use" (4). Indexed by
// the line's place in the segment (0 first); lines the record does not cover
// are usable. `header` is the segment's whole header.
std::vector<bool> UnusableLines(std::span<const uint8_t> header, uint32_t lines);

}  // namespace segweld::geo
