#include "station/output_maker.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>

#include "join/dissemination_name.h"
#include "join/segment_name.h"
#include "join/walk_plan.h"
#include "os/file_system.h"
#include "station/output_record.h"

namespace segweld::station {
namespace {

bool Contains(const std::vector<int32_t>& numbers, int32_t number) {
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

std::vector<int32_t> NumbersWhere(const JoinReport& report, bool damagedOnly) {
    std::vector<int32_t> numbers;
    for (const SegmentOutcome& segment : report.segments) {
        if (segment.status == SegmentStatus::Accepted && (!damagedOnly || segment.damaged())) {
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

// Planned numbers without a file (missing, written as zeros or not) apart
// from those whose file was not joined; without a plan, the numbers up to
// `lastPresent`.
void SortOutMissing(const JoinReport& report, int32_t lastPresent,
                    const std::function<bool(int32_t)>& isPresent, ProductResult& result) {
    const bool planned = report.plannedEnd > 0;
    const int32_t first = planned ? report.plannedStart : report.firstNumber;
    const int32_t last = planned ? report.plannedEnd : lastPresent;
    const std::vector<int32_t> joined = NumbersWhere(report, false);
    for (int32_t number = first; number <= last; ++number) {
        if (!Contains(joined, number)) {
            (isPresent(number) ? result.notJoined : result.missing).push_back(number);
        }
    }
}

// The parts of a product's result that the join's report gives alone.
ProductResult ResultOfReport(const JoinReport& report) {
    ProductResult result;
    result.segmentsJoined = report.segmentsJoined();
    result.filled = report.filled;
    result.joined = NumbersWhere(report, false);
    result.damaged = NumbersWhere(report, true);
    return result;
}

// The record lists each segment as the join found it: a file replaced since
// the listing is recorded as joined, one that arrived since is added.
void TakeFilesAsJoined(const JoinReport& report, Product& product) {
    for (const SegmentOutcome& outcome : report.segments) {
        if (!outcome.opened) {
            continue;
        }
        auto entry = std::ranges::find(product.segments, outcome.number, &SegmentEntry::number);
        if (entry == product.segments.end()) {
            const size_t slash = outcome.path.find_last_of("/\\");
            product.segments.push_back({outcome.number, outcome.path.substr(slash + 1)});
            entry = product.segments.end() - 1;
        }
        entry->size = outcome.fileSize;
        entry->modifiedNanoseconds = outcome.modifiedNanoseconds;
        entry->file = outcome.file;
        entry->changedNanoseconds = outcome.changedNanoseconds;
    }
    std::ranges::sort(product.segments, {}, &SegmentEntry::number);
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

class Joiner : public OutputMaker {
  public:
    explicit Joiner(bool fillGaps) : fillGaps_(fillGaps) {}

    std::string making() const override { return fillGaps_ ? "join fill-gaps" : "join"; }
    bool usesCompanions() const override { return false; }

    MadeOutput Make(const std::string& firstSegmentPath, const std::string& outputFolder,
                    const JoinProgressCallback& progress) const override {
        JoinOptions options;
        options.fillGaps = fillGaps_;
        options.progress = progress;
        MadeOutput made;
        made.join = JoinSegments(firstSegmentPath, outputFolder, options);
        made.outputPath = made.join.outputPath;
        made.bytes = made.join.bytesWritten;
        made.failure = made.join.written() ? FailureKind::None : KindOf(made.join);
        return made;
    }

    std::optional<std::string> PredictOutput(const std::string& firstSegmentPath,
                                             const std::string& outputFolder) const override {
        return PredictOutputPath(firstSegmentPath, outputFolder, fillGaps_);
    }

  private:
    bool fillGaps_;
};

FailureKind KindOf(geo::ImageFailure failure) {
    switch (failure) {
        case geo::ImageFailure::None:
            return FailureKind::None;
        case geo::ImageFailure::Data:
            return FailureKind::Data;
        case geo::ImageFailure::Interrupted:
            return FailureKind::Interrupted;
        case geo::ImageFailure::System:
            break;
    }
    return FailureKind::System;
}

class ImageWriter : public OutputMaker {
  public:
    ImageWriter(const geo::ImageEntries& entries, OutputKind format, bool fillGaps,
                std::optional<geo::Quantity> calibration, geo::CalibrationMode mode)
        : entries_(entries),
          format_(format),
          fillGaps_(fillGaps),
          calibration_(calibration),
          mode_(mode) {}

    std::string making() const override {
        return std::string(format_ == OutputKind::NetCdf ? "netcdf " : "geotiff ") +
               (calibration_ ? geo::QuantityName(*calibration_) : "default") +
               (mode_ == geo::CalibrationMode::Gsics ? " gsics" : "") +
               (fillGaps_ ? " fill-gaps" : "");
    }
    bool usesCompanions() const override { return true; }

    MadeOutput Make(const std::string& firstSegmentPath, const std::string& outputFolder,
                    const JoinProgressCallback& progress) const override {
        geo::ImageRequest request{firstSegmentPath, outputFolder, format_, fillGaps_,
                                  calibration_,     mode_,        {}};
        // The share done, as bytes of the segments read.
        request.progress = [&progress](const geo::ImageProgress& done) {
            JoinProgress join;
            join.bytesWritten = static_cast<uint64_t>(done.done * done.inputBytes);
            return !progress || progress(join);
        };
        geo::ImageReport report;
        entries_.product(request, report);
        MadeOutput made;
        made.join = std::move(report.walk);
        made.outputPath = report.outputPath;
        made.bytes = report.bytesWritten;
        made.warnings = std::move(report.warnings);
        made.error = report.error;
        made.failure = KindOf(report.failure);
        return made;
    }

    std::optional<std::string> PredictOutput(const std::string& firstSegmentPath,
                                             const std::string& outputFolder) const override {
        return PredictOutputPath(firstSegmentPath, outputFolder, fillGaps_, format_);
    }

    geo::WriteSlotImageEntry slotImageEntry() const override { return entries_.slot; }

  private:
    geo::ImageEntries entries_;
    OutputKind format_;
    bool fillGaps_;
    std::optional<geo::Quantity> calibration_;
    geo::CalibrationMode mode_;
};

}  // namespace

std::unique_ptr<OutputMaker> MakeJoiner(bool fillGaps) {
    return std::make_unique<Joiner>(fillGaps);
}

std::unique_ptr<OutputMaker> MakeImageWriter(const geo::ImageEntries& entries, OutputKind format,
                                             bool fillGaps,
                                             std::optional<geo::Quantity> calibration,
                                             geo::CalibrationMode mode) {
    return std::make_unique<ImageWriter>(entries, format, fillGaps, calibration, mode);
}

ProductResult MakeProduct(const Product& listed, const std::string& outputFolder,
                          const OutputMaker& maker, const JoinProgressCallback& progress) {
    const auto start = std::chrono::steady_clock::now();
    Product product = listed;
    // Files that went since the listing are looked for again only when the
    // join could not start from the first one listed.
    if (os::LookAt(product.FirstSegmentPath()).kind != os::PathKind::RegularFile &&
        !LookAtSegments(product)) {
        return FailedResult(listed, FailureKind::Data, "its segment files are gone");
    }
    MadeOutput made;
    try {
        made = maker.Make(product.FirstSegmentPath(), outputFolder, progress);
    } catch (const std::exception& failure) {
        return FailedResult(product, FailureKind::System, failure.what());
    }
    ProductResult result = ResultOfReport(made.join);
    result.key = product.key;
    result.outputPath = made.outputPath;
    result.bytesWritten = made.bytes;
    result.warnings = made.join.warnings;
    result.warnings.insert(result.warnings.end(), made.warnings.begin(), made.warnings.end());
    if (made.outputPath.empty()) {
        result.error = made.error.empty() ? made.join.FailureText() : made.error;
    }
    SortOutMissing(
        made.join, product.segments.back().number,
        [&product](int32_t number) { return IsPresent(product, number); }, result);
    TakeFilesAsJoined(made.join, product);
    Classify(result);
    result.failure = made.failure;
    if (result.status != ProductStatus::Failed) {
        const std::string unkept = KeepOutputRecord(result.outputPath, product, maker.making());
        if (!unkept.empty()) {
            result.warnings.push_back("the output will be made again next time: " + unkept);
        }
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

ProductResult ResultOfJoin(const JoinReport& report) {
    const SegmentPath first = SplitSegmentPath(report.firstSegmentPath);
    ProductResult result = ResultOfReport(report);
    result.key = MaskedName(first.name);
    result.outputPath = report.outputPath;
    result.bytesWritten = report.bytesWritten;
    result.warnings = report.warnings;
    result.error = report.written() ? "" : report.FailureText();
    const int32_t lastWalked = report.segments.empty() ? 0 : report.segments.back().number;
    SortOutMissing(
        report, lastWalked,
        [&first](int32_t number) {
            return os::PathExists(first.directory + SegmentName(first.name, number));
        },
        result);
    Classify(result);
    return result;
}

}  // namespace segweld::station
