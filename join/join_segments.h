#pragma once

#include <cstdint>
#include <functional>
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
    // Why its compressed data are damaged beyond a shortfall: truncated or
    // corrupt, or more than its header promised. Empty when they are not.
    std::string damage;
    // The file as the join opened it, when it did.
    bool opened = false;
    uint64_t fileSize = 0;
    int64_t modifiedNanoseconds = 0;
    int64_t changedNanoseconds = 0;
    uint64_t file = 0;

    // Joined, but not whole or not sound.
    bool damaged() const {
        return status == SegmentStatus::Accepted && (bytesPresent < dataLength || !damage.empty());
    }
};

// Where a join stands, for a progress display.
struct JoinProgress {
    int32_t segmentNumber = 0;    // the segment being joined
    int32_t plannedSegments = 0;  // the plan's last number; 0 while unknown
    uint64_t bytesWritten = 0;    // into the output so far
};

// Called between segments and between chunks of a segment's data field, on
// the joining thread. Returning false stops the join: nothing is written.
using JoinProgressCallback = std::function<bool(const JoinProgress&)>;

struct JoinOptions {
    // Walk on to the planned end past missing segments and put zeros (holes)
    // of each missing segment's size in its place; see JoinSegments.
    bool fillGaps = false;
    JoinProgressCallback progress;  // may be empty
};

// What a join did. Callers that want nothing of it ignore it.
struct JoinReport {
    int32_t firstNumber = 1;       // where the walk began: 1, or the plan's first segment
    std::string namingName;        // the file name the output is named after (OutputName)
    std::string firstSegmentPath;  // the path of segment `firstNumber`
    std::vector<SegmentOutcome> segments;
    int32_t stoppedAt = 0;   // the first number for which nothing exists
    std::string outputPath;  // the file written; empty when none was
    uint64_t bytesWritten = 0;
    std::vector<std::string> warnings;
    std::string error;            // why the output could not be written; empty when it was
    bool stopped = false;         // the progress callback stopped the join
    std::vector<int32_t> filled;  // missing segments written as zeros (fillGaps)
    // The product's planned segments, from the segment identification of the
    // last accepted header, or when none gave one, of the named segment's
    // (a walk that ended before it); end 0 when none gave a plan that can be
    // true.
    int32_t plannedStart = 0;
    int32_t plannedEnd = 0;

    bool written() const { return !outputPath.empty(); }
    int segmentsJoined() const;
    // Why nothing was written, for people: the output error, or why no segment
    // was joined. Empty when the output was written.
    std::string FailureText() const;
};

// Joins the data fields of the segments of the product that `segmentPath`
// belongs to into one file in `outputFolder`, from segment 1 up to the first
// number for which nothing exists. Segments stored compressed whole
// (SegmentSource) are joined decompressed, and the output is named and
// written as if every segment were stored as it is. When segment 1 does not exist and the
// segment identification of `segmentPath` plans a first segment above 1 (a
// Rapid Scan product plans 6 to 8), the walk starts at that segment. The output is named from the
// file name of `segmentPath` and the first data bytes (OutputName), and appears only when the
// whole walk has succeeded. The report warns of skipped and short segments, of planned segments
// that were not joined and of segment files beyond the gap that ended the walk
// (IncompleteProductWarnings).
//
// With `options.fillGaps` and a plan from the segment identification, the walk
// goes on past missing numbers to the planned end, and each missing segment is
// written as zeros of the size its neighbours' image structure gives, so every
// present segment lands at its place in the image; the output is then named
// after the plan's first segment, whichever segment was named. Without a plan,
// for compressed data, or for a plan beyond a whole disk (a damaged field), it
// warns and walks as without it.
JoinReport JoinSegments(std::string segmentPath, std::string outputFolder,
                        const JoinOptions& options = {});

// Walks the product exactly as JoinSegments does, with the same report
// (outcomes, warnings, plan, filled segments), but writes nothing: each
// accepted segment goes to `take` while its file is open (the visit's
// sharedFile keeps it open longer), for a caller that reads the data fields
// itself. The report names no output and counts no bytes written.
JoinReport WalkAsJoin(const std::string& segmentPath, const JoinOptions& options,
                      const std::function<void(const SegmentVisit&)>& take);

}  // namespace segweld
