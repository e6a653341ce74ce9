#include "tools/info/series_text.h"

#include <cstdio>

#include "join/number_list.h"

namespace segweld::info {
namespace {

constexpr const char* kRowFormat = "%6s  %-16s %6s %11s %11s %8s %9s %10s  %s\n";

std::string Printf(const char* format, auto... values) {
    std::string line(static_cast<size_t>(std::snprintf(nullptr, 0, format, values...)), '\0');
    std::snprintf(line.data(), line.size() + 1, format, values...);
    return line;
}

std::string Range(const std::optional<SegmentPlan>& plan) {
    return plan ? std::to_string(plan->start) + "-" + std::to_string(plan->end) : "-";
}

std::string NameCheck(const std::optional<bool>& agrees) {
    if (!agrees) {
        return "-";
    }
    return *agrees ? "agrees" : "DIFFERS";
}

std::string Shortfall(const SeriesSegment& s) {
    if (s.bytesPresent >= s.dataLength) {
        return "";
    }
    return "  short by " + std::to_string(s.dataLength - s.bytesPresent) + " bytes";
}

std::string SegmentRow(const SeriesSegment& s) {
    const std::string number = std::to_string(s.number);
    const std::string status = s.present ? StatusName(s.status) : "absent";
    if (!s.hasHeader) {
        return Printf("%6s  %-16s %s\n", number.c_str(), status.c_str(), s.reason.c_str());
    }
    const std::string annotation = s.annotationNumber ? std::to_string(*s.annotationNumber) : "-";
    std::string row =
        Printf(kRowFormat, number.c_str(), status.c_str(), std::to_string(s.headerLength).c_str(),
               std::to_string(s.dataLength).c_str(), std::to_string(s.bytesPresent).c_str(),
               s.sequence ? std::to_string(*s.sequence).c_str() : "-", Range(s.plan).c_str(),
               annotation.c_str(), NameCheck(s.nameAgrees).c_str());
    row.pop_back();
    row += Shortfall(s);
    if (!s.damage.empty()) {
        row += "  " + s.damage;
    }
    if (s.status != SegmentStatus::Accepted) {
        row += "  " + s.reason;
    }
    if (!s.unexpectedTypes.empty()) {
        row += "  unexpected record types " +
               FormatNumberList({s.unexpectedTypes.begin(), s.unexpectedTypes.end()});
    }
    return row + "\n";
}

std::string SummaryLine(const char* name, const std::string& value) {
    return Printf("  %-16s %s\n", name, value.c_str());
}

std::string CountOf(const std::vector<int32_t>& numbers, int32_t planned) {
    return std::to_string(numbers.size()) + " of " + std::to_string(planned);
}

std::string Summary(const SeriesReport& report) {
    const ProductSurvey& survey = report.survey;
    const bool planKnown = survey.plannedEnd() > 0;
    std::string text = "Summary\n";
    text += SummaryLine("planned", planKnown ? std::to_string(survey.plannedStart()) + " to " +
                                                   std::to_string(survey.plannedEnd())
                                             : "unknown (no header gives one)");
    text += SummaryLine("present", CountOf(survey.PlannedPresent(), survey.plannedCount()));
    text += SummaryLine("joinable", CountOf(survey.PlannedJoined(), survey.plannedCount()));
    text += SummaryLine("missing", FormatNumberList(survey.Missing()));
    text += SummaryLine("refused", FormatNumberList(survey.Refused()));
    text += SummaryLine("damaged", FormatNumberList(survey.Damaged()));
    text += SummaryLine("beyond the gap", FormatNumberList(survey.beyondGap()));
    text += SummaryLine("name differs", FormatNumberList(report.nameDisagrees));
    text += SummaryLine("complete", survey.CompleteAndUndamaged() ? "yes" : "no");
    return text;
}

}  // namespace

std::string SeriesText(const SeriesReport& report) {
    std::string text = "Segments of " + report.file + "\n";
    text += Printf(kRowFormat, "number", "status", "header", "dataLength", "present", "sequence",
                   "planned", "annotation", "name");
    for (const SeriesSegment& segment : report.segments) {
        text += SegmentRow(segment);
    }
    if (!report.beyondGapPaths.empty()) {
        text += "Beyond the gap, not reached by the join:\n";
        for (const std::string& path : report.beyondGapPaths) {
            text += "  " + path + "\n";
        }
    }
    return text + Summary(report);
}

}  // namespace segweld::info
