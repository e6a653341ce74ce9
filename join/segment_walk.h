#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "hrit/header_reader.h"
#include "join/segment_source.h"
#include "os/file_system.h"

namespace segweld {

// What the walk found at one segment number whose name exists.
enum class SegmentStatus {
    Accepted,          // header accepted; the file stands at its data field
    NotRegularFile,    // a folder, FIFO or device: never opened for reading
    CannotOpen,        // exists but does not open for reading
    HeaderRefused,     // ReadHeader returned 0
    DataFieldTooLong,  // the data field length does not fit 32 bits
};

struct SegmentVisit {
    int32_t number = 0;
    std::string path;
    SegmentStatus status = SegmentStatus::CannotOpen;
    std::string reason;             // why it was not accepted, for people
    SegmentSource* file = nullptr;  // open, when the header was read
    // The same file, for a visitor that keeps it open after the visit.
    std::shared_ptr<SegmentSource> sharedFile;
    const HritHeader* header = nullptr;    // when Accepted or DataFieldTooLong
    uint32_t headerLength = 0;             // when Accepted or DataFieldTooLong
    std::span<const uint8_t> headerBytes;  // the whole header, as read, during the visit
};

// The segment file a walk is asked about, opened and its header accepted
// before the walk began (PlanWalk does): the walk takes both as they are
// instead of opening and reading the file again.
struct OpenedSegment {
    std::shared_ptr<SegmentSource> file;
    std::shared_ptr<const CHritHeaderReader> header;
};

// Walks the segments of the product that `segmentPath` belongs to, from
// number `first` up to the first number for which nothing exists, which it
// returns. Segment names come from the file name of `segmentPath`
// (SegmentFileNames): a number is taken under the first of its names that
// exists, plain or compressed, so a product may mix the two. Each segment
// that exists is opened, its header read with
// `reader`, and handed to `visit` while its file is open; `visit` returns false
// to end the walk there (the number after it is returned). A missing number
// for which `passGap` returns true does not end the walk. `opened`, when it
// holds a file, is that of `segmentPath`, whose header `reader` then takes
// from `opened.header` (CHritHeaderReader::TakeHeader). A read error throws
// os::ReadError.
int32_t WalkSegments(const std::string& segmentPath, CHritHeaderReader& reader,
                     const std::function<bool(const SegmentVisit&)>& visit,
                     const std::function<bool(int32_t)>& passGap = {}, int32_t first = 1,
                     const OpenedSegment& opened = {});

// The path under which segment `number` of the product of `segmentPath` is
// stored: the first of its names (SegmentFileNames) at which something
// exists; the plain one when nothing does.
std::string StoredSegmentPath(const std::string& segmentPath, int32_t number);

// Why the walk found no segment `number` at `path`, for people.
std::string DescribeMissingSegment(const std::string& path, int32_t number);

using os::PathExists;

}  // namespace segweld
