#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "join/output_name.h"
#include "join/segment_plan.h"
#include "join/segment_source.h"
#include "join/segment_walk.h"

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
    // The plan that the named segment's header gives, followed or not.
    std::optional<SegmentPlan> namedPlan;
    // The named segment's file, open, and its header, when the plan read one,
    // so that the walk need not open or read it again (WalkSegments' `opened`).
    OpenedSegment named;
};

WalkPlan PlanWalk(const std::string& segmentPath, bool fillGaps);

// The path of the output of `kind` that a run on `segmentPath` would write
// into `outputFolder` (OutputName). A join's is found by reading headers and
// the first data bytes only, and is nullopt when it would accept no segment;
// an image's needs the named segment's header alone. A read error throws
// os::ReadError.
std::optional<std::string> PredictOutputPath(const std::string& segmentPath,
                                             const std::string& outputFolder, bool fillGaps,
                                             OutputKind kind = OutputKind::Joined);

}  // namespace segweld
