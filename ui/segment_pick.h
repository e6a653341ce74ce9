#pragma once

#include <string>

namespace segweld {

// Why the file a person picked cannot start a join, naming the file: it is a
// folder, a product's prologue or epilogue, or its name is not a segment
// file's name. Empty when it names a segment file of a product.
//
// A segment file's name has 61 characters in eight fields separated by '-'
// at positions 1, 5, 12, 25, 35, 45 and 58 (counted from 0); the sixth field
// (positions 36 to 44) holds six digits and "___" for a segment, "PRO______"
// for the prologue and "EPI______" for the epilogue.
std::string WhyNotASegmentFile(const std::string& path);

}  // namespace segweld
