#pragma once

#include <string>

namespace segweld::bench {

// The file name of segment `number` of the `index`th product of a day: one
// IR_108 product every five minutes.
std::string BenchSegmentName(int index, int number);

// Writes segment `number` of product `index` (of `segments` planned, each
// `bytes` data bytes) into `folder`.
void WriteBenchSegment(const std::string& folder, int index, int number, int segments, int bytes);

}  // namespace segweld::bench
