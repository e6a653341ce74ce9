#include "join/segment_plan.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace segweld {
namespace {

constexpr int32_t kHrvChannel = 12;
constexpr uint32_t kFullDiskLines = 3712;
constexpr uint32_t kHrvFullDiskLines = 11136;

int32_t Clamped(uint32_t value) {
    return static_cast<int32_t>(std::min<uint32_t>(value, std::numeric_limits<int32_t>::max()));
}

// Lines of one segment: at least one, where the header has no image structure.
uint64_t SegmentLines(const HritHeader& header) {
    return std::max<uint32_t>(header.lines, 1);
}

bool ReachesBeyondFullDisk(const HritHeader& header) {
    return uint64_t{header.segmentId[4]} * SegmentLines(header) > FullDiskLines(header);
}

}  // namespace

uint32_t FullDiskLines(const HritHeader& header) {
    const bool hrv =
        header.channelCode == kHrvChannel ||
        (std::strncmp(header.disseminationId, "MSG", 3) == 0 && header.segmentId[1] == kHrvChannel);
    return hrv ? kHrvFullDiskLines : kFullDiskLines;
}

bool HasMsgSegmentLayout(const HritHeader& header) {
    return std::strncmp(header.disseminationId, "MSG", 3) == 0;
}

bool GivesSegmentPlan(const HritHeader& header) {
    const uint32_t* id = header.segmentId;
    return HasMsgSegmentLayout(header) && id[4] > 0 && id[3] <= id[2] && id[2] <= id[4];
}

std::optional<SegmentPlan> PlanOf(const HritHeader& header) {
    if (!GivesSegmentPlan(header) || ReachesBeyondFullDisk(header)) {
        return std::nullopt;
    }
    return SegmentPlan{std::max<int32_t>(1, Clamped(header.segmentId[3])),
                       Clamped(header.segmentId[4])};
}

std::string DescribeImpossiblePlan(const HritHeader& header, const std::string& path) {
    if (!GivesSegmentPlan(header) || !ReachesBeyondFullDisk(header)) {
        return "";
    }
    return "the segment identification of " + path + " plans segments up to " +
           std::to_string(header.segmentId[4]) + " of " + std::to_string(SegmentLines(header)) +
           " lines each, beyond a whole disk of " + std::to_string(FullDiskLines(header)) +
           " lines: its planned end segment is damaged, so the plan is not followed";
}

}  // namespace segweld
