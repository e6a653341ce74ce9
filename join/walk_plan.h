#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "join/segment_plan.h"
#include "join/segment_source.h"

namespace segweld {

// How a walk over a product goes, decided before it starts from the header of
// the segment file the caller names.
struct WalkPlan {
    // The first number walked: 1, or the plan's first segment when segment 1
    // does not exist and the plan starts above it (Rapid Scan, for one).
    int32_t first = 1;
    // With --fill-gaps: the plan inside which missing segments are passed and
    // written as zeros; nullopt when --fill-gaps cannot follow one.
    std::optional<SegmentPlan> gaps;
    // The file name the output is named after: that of the named segment, or
    // with --fill-gaps that of the plan's first segment, so every join of the
    // product names the same output; always the plain name, as if no segment
    // were stored compressed.
    std::string namingName;
    // Why --fill-gaps cannot follow a plan, and a plan that cannot be true.
    std::vector<std::string> warnings;
    // The named segment's file, open, when the plan read its header, so that
    // the walk need not open it again (WalkSegments' `opened`).
    std::shared_ptr<SegmentSource> namedFile;
};

WalkPlan PlanWalk(const std::string& segmentPath, bool fillGaps);

// The path of the output that JoinSegments(segmentPath, outputFolder) would
// write, found by reading headers and the first data bytes only; nullopt when
// it would accept no segment. A read error throws os::ReadError.
std::optional<std::string> PredictOutputPath(const std::string& segmentPath,
                                             const std::string& outputFolder, bool fillGaps);

}  // namespace segweld
