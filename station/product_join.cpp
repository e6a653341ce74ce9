#include "station/product_join.h"

#include <algorithm>
#include <exception>

namespace segweld::station {
namespace {

bool Contains(const std::vector<int32_t>& numbers, int32_t number) {
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

std::vector<int32_t> JoinedNumbers(const JoinReport& report) {
    std::vector<int32_t> numbers;
    for (const SegmentOutcome& segment : report.segments) {
        if (segment.status == SegmentStatus::Accepted) {
            numbers.push_back(segment.number);
        }
    }
    return numbers;
}

std::vector<int32_t> DamagedNumbers(const JoinReport& report) {
    std::vector<int32_t> numbers;
    for (const SegmentOutcome& segment : report.segments) {
        if (segment.status == SegmentStatus::Accepted &&
            segment.bytesPresent < segment.dataLength) {
            numbers.push_back(segment.number);
        }
    }
    return numbers;
}

void Classify(ProductResult& result) {
    if (result.outputPath.empty()) {
        result.status = ProductStatus::Failed;
    } else if (result.missing.empty() && result.damaged.empty() && result.filled.empty()) {
        result.status = ProductStatus::Joined;
    } else {
        result.status = ProductStatus::Incomplete;
    }
}

}  // namespace

const char* StatusName(ProductStatus status) {
    switch (status) {
        case ProductStatus::Joined:
            return "joined";
        case ProductStatus::UpToDate:
            return "up to date";
        case ProductStatus::Incomplete:
            return "incomplete";
        case ProductStatus::Failed:
            return "failed";
    }
    return "failed";
}

ProductResult JoinProduct(const Product& product, const std::string& outputFolder,
                          const JoinOptions& options, int32_t plannedStart, int32_t plannedEnd) {
    ProductResult result;
    result.key = product.key;
    JoinReport report;
    try {
        report = JoinSegments(product.FirstSegmentPath(), outputFolder, options);
    } catch (const std::exception& failure) {
        result.error = failure.what();
        return result;
    }
    result.outputPath = report.outputPath;
    result.segmentsJoined = report.segmentsJoined();
    result.bytesWritten = report.bytesWritten;
    result.warnings = report.warnings;
    result.error = report.FailureText();
    result.filled = report.filled;
    result.damaged = DamagedNumbers(report);

    const int32_t first = plannedEnd > 0 ? std::max(plannedStart, 1) : 1;
    const int32_t last = plannedEnd > 0
                             ? plannedEnd
                             : (product.segments.empty() ? 0 : product.segments.back().number);
    const std::vector<int32_t> joined = JoinedNumbers(report);
    for (int32_t number = first; number <= last; ++number) {
        if (!Contains(joined, number) && !Contains(result.filled, number)) {
            result.missing.push_back(number);
        }
    }
    Classify(result);
    return result;
}

ProductResult UpToDateResult(const Product& product, const std::string& outputPath) {
    ProductResult result;
    result.key = product.key;
    result.status = ProductStatus::UpToDate;
    result.outputPath = outputPath;
    return result;
}

}  // namespace segweld::station
