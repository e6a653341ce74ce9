#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "hrit/hrit_header.h"

namespace segweld {

// The segments of a product as the segment identification (MSG layout) of
// one of its headers plans them: numbers start to end.
struct SegmentPlan {
    int32_t start = 1;
    int32_t end = 0;

    int32_t count() const { return end >= start ? end - start + 1 : 0; }
    bool Holds(int32_t number) const { return number >= start && number <= end; }
};

// The image lines of a whole disk of the header's channel: 11136 for HRV,
// 3712 for the other channels of the MSG imager and for channels it does not
// know.
uint32_t FullDiskLines(const HritHeader& header);

// True when the header's segment identification was decoded in the MSG
// layout (spacecraft, channel, sequence, planned start and end,
// representation): that of headers whose annotation names an MSG satellite.
bool HasMsgSegmentLayout(const HritHeader& header);

// True when the header's segment identification holds a plan: the MSG layout
// (planned start and end segments), with the segment's own sequence number in
// that range. Other layouts hold no plan.
bool GivesSegmentPlan(const HritHeader& header);

// The plan that the header gives and that can be true: nullopt when it gives
// none, and when it reaches beyond a whole disk of its channel (its planned
// end times its segment's lines), which only a damaged field does. A planned
// start of 0 counts as 1.
std::optional<SegmentPlan> PlanOf(const HritHeader& header);

// Why the plan that the header of `path` gives is not followed, naming the
// damaged field; empty when it gives none or it can be true.
std::string DescribeImpossiblePlan(const HritHeader& header, const std::string& path);

}  // namespace segweld
