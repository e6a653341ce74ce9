#include "tools/info/series_json.h"

namespace segweld::info {
namespace {

Json OptionalJson(const auto& value) {
    return value ? Json(*value) : Json(nullptr);
}

Json SegmentJson(const SeriesSegment& segment) {
    Json object{{"number", segment.number},
                {"path", segment.path},
                {"present", segment.present},
                {"status", segment.present ? StatusName(segment.status) : "absent"},
                {"reason", segment.reason}};
    if (!segment.hasHeader) {
        return object;
    }
    object["headerLength"] = segment.headerLength;
    object["dataLength"] = segment.dataLength;
    object["bytesPresent"] = segment.bytesPresent;
    object["damage"] = segment.damage.empty() ? Json(nullptr) : Json(segment.damage);
    object["sequenceNumber"] = OptionalJson(segment.sequence);
    object["plannedStart"] = segment.plan ? Json(segment.plan->start) : Json(nullptr);
    object["plannedEnd"] = segment.plan ? Json(segment.plan->end) : Json(nullptr);
    object["annotationSegmentNumber"] = OptionalJson(segment.annotationNumber);
    object["nameAgrees"] = OptionalJson(segment.nameAgrees);
    object["unexpectedTypes"] = segment.unexpectedTypes;
    return object;
}

Json SummaryJson(const SeriesReport& report) {
    const ProductSurvey& survey = report.survey;
    return Json{{"plannedStart", survey.plannedEnd() > 0 ? survey.plannedStart() : 0},
                {"plannedEnd", survey.plannedEnd()},
                {"planned", survey.plannedCount()},
                {"present", survey.PlannedPresent()},
                {"joinable", survey.PlannedJoined()},
                {"missing", survey.Missing()},
                {"notJoined", survey.NotJoined()},
                {"refused", survey.Refused()},
                {"damaged", survey.Damaged()},
                {"beyondGap", survey.beyondGap()},
                {"nameDisagrees", report.nameDisagrees},
                {"complete", survey.CompleteAndUndamaged()}};
}

}  // namespace

Json SeriesJson(const SeriesReport& report) {
    Json segments = Json::array();
    for (const SeriesSegment& segment : report.segments) {
        segments.push_back(SegmentJson(segment));
    }
    Json beyond = Json::array();
    for (size_t i = 0; i < report.beyondGapPaths.size(); ++i) {
        beyond.push_back(
            Json{{"number", report.survey.beyondGap()[i]}, {"path", report.beyondGapPaths[i]}});
    }
    return Json{{"schema", kJsonSchema},
                {"file", report.file},
                {"segments", segments},
                {"beyondGap", beyond},
                {"summary", SummaryJson(report)}};
}

}  // namespace segweld::info
