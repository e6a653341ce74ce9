#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace segweld {

// The segment number of `entryName` when it is exactly the name that
// SegmentName gives for some number from `productName`, either name
// compressed or not (SegmentFileNames); -1 when it is not.
int32_t SegmentNumberOfName(const std::string& productName, const std::string& entryName);

// The numbers of all entries in the folder of `segmentPath` that are segment
// names of its product, in increasing order. A folder that cannot be read
// gives none.
std::vector<int32_t> SegmentNumbersInFolder(const std::string& segmentPath);

// The path of a file of the product of `segmentPath` that is stored
// compressed (`segmentPath` itself, or one in its folder); nullopt when
// every file of it is stored as it is.
std::optional<std::string> FindCompressedSegment(const std::string& segmentPath);

}  // namespace segweld
