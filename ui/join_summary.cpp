#include "ui/join_summary.h"

namespace segweld {
namespace {

std::string Counted(uint64_t count, const std::string& noun) {
    return GroupThousands(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string Outcome(const JoinReport& report) {
    if (!report.written()) {
        return report.FailureText();
    }
    return "Joined " + Counted(static_cast<uint64_t>(report.segmentsJoined()), "segment") + ", " +
           Counted(report.bytesWritten, "byte") + ", into " + report.outputPath;
}

}  // namespace

JoinOutcome OutcomeOf(const JoinReport& report) {
    if (report.written()) {
        return report.warnings.empty() ? JoinOutcome::Joined : JoinOutcome::Incomplete;
    }
    return report.stopped ? JoinOutcome::Stopped : JoinOutcome::Failed;
}

std::string GroupThousands(uint64_t value) {
    std::string digits = std::to_string(value);
    for (size_t i = digits.size(); i > 3; i -= 3) {
        digits.insert(i - 3, ",");
    }
    return digits;
}

std::vector<std::string> JoinSummaryLines(const JoinReport& report) {
    std::vector<std::string> lines{Outcome(report)};
    if (!report.warnings.empty()) {
        lines.push_back((report.warnings.size() == 1
                             ? "1 warning: "
                             : Counted(report.warnings.size(), "warning") + ", the first: ") +
                        report.warnings.front());
    }
    return lines;
}

std::string JoinSummaryDetails(const JoinReport& report) {
    std::string details = Outcome(report);
    for (const std::string& warning : report.warnings) {
        details += "\nWarning: " + warning;
    }
    return details;
}

}  // namespace segweld
