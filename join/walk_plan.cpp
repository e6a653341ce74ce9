#include "join/walk_plan.h"

#include <algorithm>
#include <array>

#include "join/output_name.h"
#include "join/segment_name.h"
#include "join/segment_walk.h"

namespace segweld {
namespace {

constexpr size_t kExtensionBytes = 4;

bool SegmentMissing(const std::string& segmentPath, int32_t number) {
    return !PathExists(StoredSegmentPath(segmentPath, number));
}

std::string GapRefusal(const std::string& segmentPath, const HritHeader* header,
                       const std::string& impossible) {
    const std::string because = "--fill-gaps has no effect: ";
    if (header == nullptr) {
        return because + segmentPath + " has no header to take the plan from";
    }
    if (!impossible.empty()) {
        return because + impossible;
    }
    if (!GivesSegmentPlan(*header)) {
        return because + "the segment identification of " + segmentPath +
               " gives no plan of the product's segments";
    }
    if (HoldsCompressedData(*header)) {
        return because + segmentPath +
               " holds compressed data, so the size of a missing segment is unknown";
    }
    return "";
}

}  // namespace

WalkPlan PlanWalk(const std::string& segmentPath, bool fillGaps) {
    const SegmentPath parts = SplitSegmentPath(segmentPath);
    WalkPlan walk;
    walk.namingName = unpack::WithoutCompressionSuffix(parts.name);

    auto file = std::make_shared<SegmentSource>();
    auto reader = std::make_shared<CHritHeaderReader>([](uint32_t) {});
    const bool hasHeader =
        file->Open(segmentPath) == OpenOutcome::Opened && reader->ReadHeader(file->stream()) != 0;
    if (hasHeader) {
        walk.named = {file, reader};
    }
    const HritHeader* header = hasHeader ? &reader->header() : nullptr;
    const std::optional<SegmentPlan> plan = header ? PlanOf(*header) : std::nullopt;
    const std::string impossible = header ? DescribeImpossiblePlan(*header, segmentPath) : "";
    walk.namedPlan = plan;

    if (plan && plan->start > 1 && SegmentMissing(segmentPath, 1)) {
        walk.first = plan->start;
    }
    if (fillGaps) {
        const std::string refusal = GapRefusal(segmentPath, header, impossible);
        if (refusal.empty()) {
            walk.gaps = plan;
            walk.namingName = SegmentName(walk.namingName, plan->start);
        } else {
            walk.warnings.push_back(refusal);
        }
    } else if (!impossible.empty()) {
        walk.warnings.push_back(impossible);
    }
    return walk;
}

std::optional<std::string> PredictOutputPath(const std::string& segmentPath,
                                             const std::string& outputFolder, bool fillGaps,
                                             OutputKind kind) {
    const WalkPlan walk = PlanWalk(segmentPath, fillGaps);
    if (kind != OutputKind::Joined) {
        return JoinedOutputPath(outputFolder, OutputName(walk.namingName, kind));
    }
    std::optional<std::string> path;
    CHritHeaderReader reader([](uint32_t) {});
    WalkSegments(
        segmentPath, reader,
        [&](const SegmentVisit& visit) {
            if (visit.status != SegmentStatus::Accepted) {
                return true;
            }
            std::array<uint8_t, kExtensionBytes> first{};
            const size_t wanted = std::min<size_t>(first.size(), visit.header->dataLength);
            const size_t got =
                visit.file->ReadAt(visit.file->position(), std::span(first.data(), wanted));
            path = JoinedOutputPath(
                outputFolder, OutputName(walk.namingName, kind, std::span(first.data(), got)));
            return false;
        },
        [&](int32_t number) { return walk.gaps && walk.gaps->Holds(number); }, walk.first,
        walk.named);
    return path;
}

}  // namespace segweld
