#include "geo/walked_product.h"

#include <algorithm>
#include <mutex>
#include <set>

#include "os/file_system.h"

namespace segweld::geo {
namespace {

std::vector<int32_t> DamagedSegments(const JoinReport& walk) {
    std::vector<int32_t> damaged;
    for (const SegmentOutcome& segment : walk.segments) {
        if (segment.status == SegmentStatus::Accepted &&
            segment.bytesPresent < segment.dataLength) {
            damaged.push_back(segment.number);
        }
    }
    return damaged;
}

}  // namespace

void RemoveLeftoversOnce(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> done;
    {
        std::lock_guard lock(mutex);
        if (!done.insert(folder).second) {
            return;
        }
    }
    os::RemoveAbandonedOutputs(folder);
}

WalkedProduct::WalkedProduct(const std::string& segmentPath, bool fillGaps,
                             const std::function<bool()>& goOn)
    : segmentPath_(segmentPath) {
    JoinOptions options;
    options.fillGaps = fillGaps;
    options.progress = [&goOn](const JoinProgress&) { return !goOn || goOn(); };
    walk_ = WalkAsJoin(segmentPath, options, [this](const SegmentVisit& visit) {
        auto pixels = std::make_shared<const SegmentPixels>(
            visit.sharedFile, visit.headerLength, visit.headerBytes, visit.header->lines,
            std::min(DataFieldBytesStored(*visit.header), ImageStructureBytes(*visit.header) + 1),
            fields_);
        segments_.push_back(
            {visit.number, visit.path, *visit.header, visit.headerLength, std::move(pixels)});
        inputBytes_ += visit.file->file().size();
    });
}

ImageFailure WalkedProduct::failure() const {
    if (walk_.stopped) {
        return ImageFailure::Interrupted;
    }
    if (!walk_.error.empty()) {
        return ImageFailure::System;
    }
    return segments_.empty() ? ImageFailure::Data : ImageFailure::None;
}

ProductImage WalkedProduct::Describe(const std::optional<Quantity>& calibration,
                                     CalibrationMode mode,
                                     std::vector<std::string>& warnings) const {
    return DescribeProductImage(segmentPath_, walk_, segments_, calibration, mode, warnings);
}

void WalkedProduct::Report(const ProductImage& image, ImageReport& report) const {
    report.quantity = image.quantity;
    report.segmentsJoined = image.frame.joined;
    report.segmentsMissing = image.missing;
    report.segmentsNotJoined = image.notJoined;
    report.segmentsFilled = walk_.filled;
    report.segmentsDamaged = DamagedSegments(walk_);
}

}  // namespace segweld::geo
