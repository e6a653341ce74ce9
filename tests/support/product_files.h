#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/header_builder.h"

namespace segweld::test {

// The file name of a segment in the dissemination naming convention, for
// example H-000-MSG1__-MSG1________-IR_108___-000001___-200706151200-__.
std::string SegmentFileName(int number, const std::string& channelToken = "IR_108___",
                            const std::string& marks = "__");

// A small segment file: a real-shaped header announcing `data.size()` bytes
// (`announced` bytes when given), followed by `data`.
std::vector<uint8_t> SmallSegment(int number, const std::vector<uint8_t>& data,
                                  int64_t announced = -1);

// Data bytes of segment `number` that differ from those of every other
// segment, starting with four letters so that they name the output.
std::vector<uint8_t> DistinctData(int number, size_t size = 1000);

}  // namespace segweld::test
