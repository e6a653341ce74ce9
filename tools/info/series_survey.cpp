#include "tools/info/series_survey.h"

#include <utility>

#include "join/segment_name.h"
#include "join/walk_plan.h"
#include "tools/info/data_field_extent.h"

namespace segweld::info {
namespace {

std::optional<int32_t> AnnotationNumber(const HritHeader& header) {
    const bool decoded = header.hritOrLrit != 0;
    if (!decoded || header.segmentKind != 0) {
        return std::nullopt;
    }
    return header.segmentNumber;
}

std::optional<bool> NameAgrees(const SeriesSegment& segment) {
    const bool hasSequence = segment.sequence.value_or(0) != 0;
    if (!segment.annotationNumber && !hasSequence) {
        return std::nullopt;
    }
    const bool annotationAgrees =
        !segment.annotationNumber || *segment.annotationNumber == segment.number;
    const bool sequenceAgrees =
        !hasSequence || *segment.sequence == static_cast<uint32_t>(segment.number);
    return annotationAgrees && sequenceAgrees;
}

void TakeHeader(const SegmentVisit& visit, SeriesSegment& segment) {
    const HritHeader& header = *visit.header;
    segment.hasHeader = true;
    segment.headerLength = visit.headerLength;
    segment.dataLength = DataFieldBytes(header);
    segment.bytesPresent = DataBytesHeld(visit);
    segment.damage = visit.file->DamageUpTo(visit.headerLength + DataFieldBytesStored(header));
    if (HasMsgSegmentLayout(header)) {
        segment.sequence = header.segmentId[2];
    }
    segment.plan = PlanOf(header);
    segment.annotationNumber = AnnotationNumber(header);
    segment.nameAgrees = NameAgrees(segment);
}

SeriesSegment Describe(const SegmentVisit& visit) {
    SeriesSegment segment;
    segment.number = visit.number;
    segment.path = visit.path;
    segment.status = visit.status;
    segment.reason = visit.reason;
    if (visit.header) {
        TakeHeader(visit, segment);
    }
    return segment;
}

SeriesSegment Absent(const std::string& segmentPath, int32_t number) {
    SeriesSegment segment;
    segment.number = number;
    segment.path = StoredSegmentPath(segmentPath, number);
    segment.present = false;
    segment.reason = "no such file; the walk ends here";
    return segment;
}

}  // namespace

const char* StatusName(SegmentStatus status) {
    switch (status) {
        case SegmentStatus::Accepted:
            return "accepted";
        case SegmentStatus::NotRegularFile:
            return "notRegularFile";
        case SegmentStatus::CannotOpen:
            return "cannotOpen";
        case SegmentStatus::HeaderRefused:
            return "headerRefused";
        case SegmentStatus::DataFieldTooLong:
            return "dataFieldTooLong";
    }
    return "unknown";
}

SeriesReport SurveySeries(const std::string& segmentPath) {
    SeriesReport report;
    report.file = segmentPath;
    std::vector<uint32_t> unexpected;
    CHritHeaderReader reader([&unexpected](uint32_t type) { unexpected.push_back(type); });
    const WalkPlan walk = PlanWalk(segmentPath, false);
    const int32_t stoppedAt = WalkSegments(
        segmentPath, reader,
        [&](const SegmentVisit& visit) {
            SeriesSegment segment = Describe(visit);
            segment.unexpectedTypes = std::exchange(unexpected, {});
            report.survey.Note(visit, segment.bytesPresent, !segment.damage.empty());
            if (segment.nameAgrees == false) {
                report.nameDisagrees.push_back(segment.number);
            }
            report.segments.push_back(std::move(segment));
            return true;
        },
        {}, walk.first);
    report.segments.push_back(Absent(segmentPath, stoppedAt));
    report.survey.TakePlanIfUnknown(walk.namedPlan);
    report.survey.Finish(segmentPath, stoppedAt);
    for (const int32_t number : report.survey.beyondGap()) {
        report.beyondGapPaths.push_back(StoredSegmentPath(segmentPath, number));
    }
    return report;
}

}  // namespace segweld::info
