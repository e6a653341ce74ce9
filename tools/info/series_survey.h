#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "join/product_survey.h"
#include "join/segment_plan.h"
#include "join/segment_walk.h"

namespace segweld::info {

// One segment number the walk looked at, from its header alone.
struct SeriesSegment {
    int32_t number = 0;
    std::string path;
    bool present = true;  // false for the number that ended the walk
    SegmentStatus status = SegmentStatus::CannotOpen;
    std::string reason;  // why it is not joined
    bool hasHeader = false;
    uint32_t headerLength = 0;
    uint64_t dataLength = 0;    // the data field length the header announces
    uint64_t bytesPresent = 0;  // of those, bytes the file holds after its header
    std::string damage;  // why its compressed data are damaged; empty when sound
    // The segment sequence number (segmentId[2]) of an MSG layout; nullopt in
    // another layout, whose fields are not known.
    std::optional<uint32_t> sequence;
    std::optional<SegmentPlan> plan;          // the plan the header gives and segweld follows
    std::optional<int32_t> annotationNumber;  // segmentNumber of a decoded annotation
    std::optional<bool> nameAgrees;           // the header's own numbers match the name's
    std::vector<uint32_t> unexpectedTypes;
};

struct SeriesReport {
    std::string file;  // as given
    std::vector<SeriesSegment> segments;
    std::vector<std::string> beyondGapPaths;
    ProductSurvey survey;
    std::vector<int32_t> nameDisagrees;  // numbers whose header names another segment
};

// Walks the product of `segmentPath` as the join does, reading headers only;
// compressed segments are decompressed to see what they hold.
SeriesReport SurveySeries(const std::string& segmentPath);

// How a status reads in the reports.
const char* StatusName(SegmentStatus status);

}  // namespace segweld::info
