#include "station/product_join.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "station/output_record.h"

namespace segweld::station {
namespace {

bool Contains(const std::vector<int32_t>& numbers, int32_t number) {
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

std::vector<int32_t> NumbersWhere(const JoinReport& report, bool damagedOnly) {
    std::vector<int32_t> numbers;
    for (const SegmentOutcome& segment : report.segments) {
        if (segment.status == SegmentStatus::Accepted &&
            (!damagedOnly || segment.bytesPresent < segment.dataLength)) {
            numbers.push_back(segment.number);
        }
    }
    return numbers;
}

bool IsPresent(const Product& product, int32_t number) {
    return std::any_of(product.segments.begin(), product.segments.end(),
                       [number](const SegmentEntry& s) { return s.number == number; });
}

FailureKind KindOf(const JoinReport& report) {
    if (report.stopped) {
        return FailureKind::Interrupted;
    }
    return report.error.empty() ? FailureKind::Data : FailureKind::System;
}

void SortOutMissing(const Product& product, const JoinReport& report, ProductResult& result) {
    const bool planned = report.plannedEnd > 0;
    const int32_t first = planned ? report.plannedStart : report.firstNumber;
    const int32_t last = planned ? report.plannedEnd : product.segments.back().number;
    const std::vector<int32_t> joined = NumbersWhere(report, false);
    for (int32_t number = first; number <= last; ++number) {
        if (Contains(joined, number) || Contains(result.filled, number)) {
            continue;
        }
        (IsPresent(product, number) ? result.notJoined : result.missing).push_back(number);
    }
}

void Classify(ProductResult& result) {
    if (result.outputPath.empty()) {
        result.status = ProductStatus::Failed;
    } else if (result.missing.empty() && result.notJoined.empty() && result.damaged.empty() &&
               result.filled.empty()) {
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

std::string JoinMaking(const JoinOptions& options) {
    return options.fillGaps ? "join fill-gaps" : "join";
}

ProductResult JoinProduct(const Product& listed, const std::string& outputFolder,
                          const JoinOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    // The record must list the files as the join finds them, not as an
    // earlier look did.
    Product product = listed;
    if (!LookAtSegments(product)) {
        return FailedResult(listed, FailureKind::Data, "its segment files are gone");
    }
    ProductResult result;
    result.key = product.key;
    JoinReport report;
    try {
        report = JoinSegments(product.FirstSegmentPath(), outputFolder, options);
    } catch (const std::exception& failure) {
        result.error = failure.what();
        result.failure = FailureKind::System;
        return result;
    }
    result.outputPath = report.outputPath;
    result.segmentsJoined = report.segmentsJoined();
    result.bytesWritten = report.bytesWritten;
    result.warnings = report.warnings;
    result.error = report.FailureText();
    result.filled = report.filled;
    result.damaged = NumbersWhere(report, true);
    SortOutMissing(product, report, result);
    Classify(result);
    if (result.status == ProductStatus::Failed) {
        result.failure = KindOf(report);
    } else {
        const std::string unkept = KeepOutputRecord(
            result.outputPath, RecordOf(product, JoinMaking(options), result.bytesWritten));
        if (!unkept.empty()) {
            result.warnings.push_back("the output will be joined again next time: " + unkept);
        }
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

ProductResult UpToDateResult(const Product& product, const std::string& outputPath) {
    ProductResult result;
    result.key = product.key;
    result.status = ProductStatus::UpToDate;
    result.outputPath = outputPath;
    return result;
}

ProductResult FailedResult(const Product& product, FailureKind failure, const std::string& error) {
    ProductResult result;
    result.key = product.key;
    result.failure = failure;
    result.error = error;
    return result;
}

}  // namespace segweld::station
