#include "station/product_log.h"

#include "join/number_list.h"
#include "station/progress_display.h"

namespace segweld::station {
namespace {

std::string Outline(const ProductResult& result) {
    std::string line = CountOf(result.segmentsJoined, "segment") + ", " +
                       HumanBytes(static_cast<double>(result.bytesWritten)) + " -> " +
                       result.outputPath;
    if (!result.missing.empty()) {
        line += "; missing " + FormatNumberList(result.missing);
    }
    if (!result.notJoined.empty()) {
        line += "; not joined " + FormatNumberList(result.notJoined);
    }
    if (!result.damaged.empty()) {
        line += "; damaged " + FormatNumberList(result.damaged);
    }
    if (!result.filled.empty()) {
        line += "; filled " + FormatNumberList(result.filled);
    }
    return line;
}

}  // namespace

std::vector<LogLine> DescribeResult(const ProductResult& result) {
    std::vector<LogLine> lines;
    const LogLevel level = LevelOf(result.status);
    switch (result.status) {
        case ProductStatus::UpToDate:
            lines.push_back({level, "up to date " + result.key + " -> " + result.outputPath});
            break;
        case ProductStatus::Failed:
            lines.push_back({level, "failed " + result.key + ": " + result.error});
            break;
        case ProductStatus::Joined:
        case ProductStatus::Incomplete:
            lines.push_back({level, std::string(StatusName(result.status)) + " " + result.key +
                                        ": " + Outline(result)});
            break;
    }
    for (const std::string& warning : result.warnings) {
        lines.push_back({LogLevel::Warning, "  warning: " + warning});
    }
    return lines;
}

}  // namespace segweld::station
