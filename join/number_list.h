#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace segweld {

// Segment numbers for people, in increasing order with runs of consecutive
// numbers written as ranges: {3, 5, 6, 7, 8} gives "3, 5-8"; none gives "none".
std::string FormatNumberList(std::vector<int32_t> numbers);

// "1 segment", "2 segments": the count and the noun, plural where it is not one.
std::string CountOf(uint64_t count, const std::string& noun);

}  // namespace segweld
