#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace segweld {

// The segment number of `entryName` when it is exactly the name that
// SegmentName gives for some number from `productName`; -1 when it is not.
int32_t SegmentNumberOfName(const std::string& productName, const std::string& entryName);

// The numbers of all entries in the folder of `segmentPath` that are segment
// names of its product, in increasing order. A folder that cannot be read
// gives none.
std::vector<int32_t> SegmentNumbersInFolder(const std::string& segmentPath);

}  // namespace segweld
