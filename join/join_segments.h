#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "join/segment_walk.h"

namespace segweld {

// One segment number that the join looked at.
struct SegmentOutcome {
    int32_t number = 0;
    std::string path;
    SegmentStatus status = SegmentStatus::CannotOpen;
    std::string reason;         // why it was not joined
    uint32_t dataLength = 0;    // bytes the header announces, when joined
    uint64_t bytesPresent = 0;  // of those, bytes the file held; zeros stand for the rest
};

// What a join did. Callers that want nothing of it ignore it.
struct JoinReport {
    std::string firstSegmentPath;  // the path of segment number 1
    std::vector<SegmentOutcome> segments;
    int32_t stoppedAt = 0;   // the first number for which nothing exists
    std::string outputPath;  // the file written; empty when none was
    uint64_t bytesWritten = 0;
    std::vector<std::string> warnings;
    std::string error;  // why the output could not be written; empty when it was

    bool written() const { return !outputPath.empty(); }
    int segmentsJoined() const;
    // Why nothing was written, for people: the output error, or why no segment
    // was joined. Empty when the output was written.
    std::string FailureText() const;
};

// Joins the data fields of the segments of the product that `segmentPath`
// belongs to into one file in `outputFolder`, from segment 1 up to the first
// number for which nothing exists. The output is named from the file name of
// `segmentPath` and the first data bytes (JoinedOutputName), and appears only
// when the whole walk has succeeded. The report warns of skipped and short
// segments, of planned segments that were not joined and of segment files
// beyond the gap that ended the walk (IncompleteProductWarnings).
JoinReport JoinSegments(std::string segmentPath, std::string outputFolder);

}  // namespace segweld
